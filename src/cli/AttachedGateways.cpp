#include "AttachedGateways.h"

#include "DetectDevice.h"
#include "SysfsModemRegistry.h"
#include "XmlText.h"

namespace tervane {

std::vector<AttachedGateway> ListAttachedGateways(const std::string& sysRoot, const std::string& devDir)
{
    std::vector<AttachedGateway> gateways;
    SysfsModemRegistry registry(sysRoot, devDir);
    registry.ForEachModem([&gateways](const ModemEntry& entry) {
        if (!entry.providerName || !entry.attachedTo || !AsciiIEquals(*entry.providerName, kDeviceProvider))
            return;
        gateways.push_back({*entry.attachedTo, entry.serialNumber.value_or(""), entry.busPath.value_or(""),
            entry.manufacturer.value_or("")});
    });
    return gateways;
}

} // namespace tervane
