#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tervane {

// One modem the system has registered: who provides it and which serial port it sits on.
// Either value may be missing, as on a half-installed device.
struct ModemEntry {
    std::optional<std::string> providerName;
    std::optional<std::string> attachedTo;
};

// What else the system tells of a modem's USB device; empty texts for what it lacks.
struct UsbIdentity {
    std::string serialNumber;
    std::string busPath;      // the USB device's place on the bus, "1-1.4" (Linux only)
    std::string manufacturer; // its own manufacturer string
};

// The system's modem registrations, walked in the system's own order.
class ModemRegistry {
public:
    virtual ~ModemRegistry() = default;

    // Hands every registered modem to `visit`, in order. False when the registrations cannot
    // be listed, also when that happens part-way after some entries were already handed over.
    virtual bool ForEachModem(const std::function<void(const ModemEntry&)>& visit) = 0;
};

} // namespace tervane
