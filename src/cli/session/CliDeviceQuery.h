#pragma once

#include "DeviceQuery.h"

#include <optional>

namespace tervane {

class CliSession;

// Connects and runs the device query, filling `facts`, `outcome` and the session's
// documents. None when the device answered; otherwise the failure has been reported and this
// is the exit status: no device, a device that gave no settings or no state, or one that
// never ended an identity answer.
std::optional<int> ReadDevice(CliSession& session, DeviceFacts& facts, DeviceQueryOutcome& outcome);

// The same, for subcommands that need only the facts and the documents.
std::optional<int> ReadDevice(CliSession& session, DeviceFacts& facts);

// The same, for subcommands that need only the documents.
std::optional<int> ReadDevice(CliSession& session);

} // namespace tervane
