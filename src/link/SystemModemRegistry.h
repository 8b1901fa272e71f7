#pragma once

#include "ModemRegistry.h"

#ifdef _WIN32
#include "WindowsModemRegistry.h"
#else
#include "SysfsModemRegistry.h"
#endif

#include <string>

namespace tervane {

// The modems of the system the tool runs on: sysfs under `sysRoot` and `devDir` on Linux, the
// modem device class key on Windows (which has no use for either folder).
class SystemModemRegistry : public ModemRegistry {
public:
#ifdef _WIN32
    SystemModemRegistry(const std::string&, const std::string&)
    {
    }
#else
    SystemModemRegistry(const std::string& sysRoot, const std::string& devDir)
        : m_registry(sysRoot, devDir)
    {
    }
#endif

    bool ForEachModem(const std::function<void(const ModemEntry&)>& visit) override
    {
        return m_registry.ForEachModem(visit);
    }

    // Each modem with what the system tells of its USB device.
    bool ForEachUsbModem(const std::function<void(const ModemEntry&, const UsbIdentity&)>& visit)
    {
        return m_registry.ForEachUsbModem(visit);
    }

private:
#ifdef _WIN32
    WindowsModemRegistry m_registry;
#else
    SysfsModemRegistry m_registry;
#endif
};

} // namespace tervane
