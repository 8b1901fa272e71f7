#pragma once

#include "ModemRegistry.h"

#include <string>

namespace tervane {

// The modems Windows has installed, read from the modem device class key under
// HKEY_LOCAL_MACHINE: each numbered subkey ("0000", "0001", ...) is one modem, its
// "ProviderName" the driver's provider and its "AttachedTo" the COM port it sits on.
// Subkeys that are not modems ("Properties") are left out; values that are missing or are
// not strings stay empty in the entry.
class WindowsModemRegistry : public ModemRegistry {
public:
    // The class key; tests may point it at a key of their own.
    explicit WindowsModemRegistry(
        std::string classKey = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}");

    // In the order of the subkey names. False when the class key cannot be opened or listed.
    bool ForEachModem(const std::function<void(const ModemEntry&)>& visit) override;

    // The same walk, with the serial number of each modem's USB device where Windows gives
    // it: the instance name of the USB device whose driver is the modem's subkey, under the
    // USB device key (`usbKey`; tests may point it elsewhere). Windows makes up instance names
    // with '&' in them for devices without a serial number: those give none.
    bool ForEachUsbModem(const std::function<void(const ModemEntry&, const UsbIdentity&)>& visit,
        const std::string& usbKey = "SYSTEM\\CurrentControlSet\\Enum\\USB");

private:
    // Every modem subkey with its name, in name order.
    bool Walk(const std::function<void(const ModemEntry&, const std::string&)>& visit);

    std::string m_classKey;
};

} // namespace tervane
