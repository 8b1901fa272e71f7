#pragma once

#include "DeviceQuery.h"

#include <optional>

namespace tervane {

class CliSession;

// Connects and runs the device query, filling `facts` and the session's documents. None
// when the device answered; otherwise the failure has been reported and this is the exit
// status: no device, or a device that gave no settings or no state.
std::optional<int> ReadDevice(CliSession& session, DeviceFacts& facts);

// The same, for subcommands that need only the documents.
std::optional<int> ReadDevice(CliSession& session);

} // namespace tervane
