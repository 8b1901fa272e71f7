#pragma once

#include <optional>
#include <string>

namespace tervane {

class DeviceRunner;
class ProcedureQuestions;
class RciDocuments;

// Reboots the device; nothing is read back. True when the device accepted the command.
bool RebootDevice(DeviceRunner& runner);

struct FactoryDefaultsResult {
    bool accepted = false;       // the device answered the factory default request without error
    // Why the device did not restore its defaults: "an error answer or none", or the RCI
    // error text of its reply, which comes with OK. None when it took the request.
    std::optional<std::string> refused;
    bool settingsRead = false;   // the settings read back replaced the settings document
    bool stateRead = false;      // the state read back replaced the state document
};

// Restores the device's factory defaults, reboots it and reads the settings and the state
// back into `documents`. Nothing is asked first. A read-back that fails leaves its document
// as it was.
FactoryDefaultsResult RestoreDefaults(RciDocuments& documents, DeviceRunner& runner, ProcedureQuestions& questions);

} // namespace tervane
