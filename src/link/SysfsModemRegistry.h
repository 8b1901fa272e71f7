#pragma once

#include "ModemRegistry.h"

#include <string>

namespace tervane {

// The serial ports that sit on a USB device, read from sysfs. Each tty under
// <sysRoot>/class/tty whose device leads up to a USB device (a folder holding idVendor)
// becomes one entry: the provider is the USB device's manufacturer string and the port
// is <devDir>/<tty name>. The modem chip's vendor id 114f stands for "WAVECOM" whatever
// the manufacturer string says, since some firmware leaves that string out.
// Ttys without a USB device above them are not modems and are left out. A USB device with
// several ttys (one per interface) is one entry: the tty of the interface that speaks AT
// commands (communications class, ACM, protocol AT commands), else of its first interface.
class SysfsModemRegistry : public ModemRegistry {
public:
    explicit SysfsModemRegistry(std::string sysRoot = "/sys", std::string devDir = "/dev");

    // In the order of each device's first tty name. False when <sysRoot>/class/tty cannot be read.
    bool ForEachModem(const std::function<void(const ModemEntry&)>& visit) override;

    // What else sysfs tells of a modem's USB device (busPath: the USB device's name).
    using UsbIdentity = tervane::UsbIdentity;
    // The same walk, with each modem's USB identity.
    bool ForEachUsbModem(const std::function<void(const ModemEntry&, const UsbIdentity&)>& visit);

private:
    std::string m_sysRoot;
    std::string m_devDir;
};

} // namespace tervane
