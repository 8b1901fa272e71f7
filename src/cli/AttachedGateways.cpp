#include "AttachedGateways.h"

#include "DetectDevice.h"
#include "SysfsModemRegistry.h"
#include "XmlText.h"

namespace tervane {

std::vector<AttachedGateway> ListAttachedGateways(const std::string& sysRoot, const std::string& devDir)
{
    std::vector<AttachedGateway> gateways;
    SysfsModemRegistry registry(sysRoot, devDir);
    registry.ForEachUsbModem([&gateways](const ModemEntry& entry, const SysfsModemRegistry::UsbIdentity& usb) {
        if (!entry.providerName || !entry.attachedTo || !AsciiIEquals(*entry.providerName, kDeviceProvider))
            return;
        gateways.push_back({*entry.attachedTo, usb.serialNumber, usb.busPath, usb.manufacturer});
    });
    return gateways;
}

} // namespace tervane
