#include "AttachedGateways.h"

#include "DetectDevice.h"
#include "SysfsModemRegistry.h"

namespace tervane {

std::vector<AttachedGateway> ListAttachedGateways(const std::string& sysRoot, const std::string& devDir)
{
    std::vector<AttachedGateway> gateways;
    SysfsModemRegistry registry(sysRoot, devDir);
    registry.ForEachUsbModem([&gateways](const ModemEntry& entry, const SysfsModemRegistry::UsbIdentity& usb) {
        // Listed whether or not the port would open or has a usable name: the list shows
        // what is attached.
        if (!IsDeviceModem(entry))
            return;
        gateways.push_back({*entry.attachedTo, usb.serialNumber, usb.busPath, usb.manufacturer});
    });
    return gateways;
}

} // namespace tervane
