#pragma once

#include <optional>

namespace tervane {

class CliSession;

// Replaces each --port that names a gateway by its identity with the port it is attached on:
// "serial:USBSERIAL" by the USB serial number the system lists, "imei:NUMBER" by asking each
// attached gateway for its IMEI. None when every one was found; otherwise the failure has
// been reported and this is the exit status (no device).
std::optional<int> ResolvePortSelectors(CliSession& session);

} // namespace tervane
