#include "WindowsModemRegistry.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

namespace tervane {

namespace {

// Longest value text taken from the registry; a port name or provider is far shorter.
constexpr DWORD kMaxValueBytes = 256;
// Most modem subkeys walked; a class key holds a handful.
constexpr DWORD kMaxSubkeys = 1000;

std::optional<std::string> StringValue(HKEY key, const char* name)
{
    DWORD type = 0;
    char data[kMaxValueBytes + 1] = {};
    DWORD size = kMaxValueBytes;
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::nullopt;
    std::string text(data, std::min<DWORD>(size, kMaxValueBytes));
    // Stored strings carry their terminating zero, or do not; keep the text before the first.
    const auto zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    return text;
}

// The names of a key's subkeys, at most kMaxSubkeys of them. False when the listing broke down.
bool SubkeyNames(HKEY key, std::vector<std::string>& names)
{
    for (DWORD index = 0; index < kMaxSubkeys; ++index) {
        char name[256];
        DWORD length = sizeof name;
        const LONG result = ::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return true;
        if (result != ERROR_SUCCESS)
            return false;
        names.emplace_back(name, length);
    }
    return true;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The class key's last part: "{4D36E96D-...}".
std::string ClassName(const std::string& classKey)
{
    const auto slash = classKey.find_last_of('\\');
    return slash == std::string::npos ? classKey : classKey.substr(slash + 1);
}

bool IsModemSubkey(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c); });
}

} // namespace

WindowsModemRegistry::WindowsModemRegistry(std::string classKey)
    : m_classKey(std::move(classKey))
{
}

bool WindowsModemRegistry::ForEachModem(const std::function<void(const ModemEntry&)>& visit)
{
    return Walk([&visit](const ModemEntry& entry, const std::string&) { visit(entry); });
}

bool WindowsModemRegistry::ForEachUsbModem(const std::function<void(const ModemEntry&, const UsbIdentity&)>& visit,
    const std::string& usbKey)
{
    // Each USB device instance names its driver as "<class>\\<modem subkey>"; the instance name
    // is the device's serial number unless Windows made it up.
    std::map<std::string, std::string> serialByDriver;
    HKEY usb = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, usbKey.c_str(), 0, KEY_READ, &usb) == ERROR_SUCCESS) {
        std::vector<std::string> devices;
        SubkeyNames(usb, devices);
        std::size_t looked = 0;
        for (const auto& device : devices) {
            HKEY deviceKey = nullptr;
            if (::RegOpenKeyExA(usb, device.c_str(), 0, KEY_READ, &deviceKey) != ERROR_SUCCESS)
                continue;
            std::vector<std::string> instances;
            SubkeyNames(deviceKey, instances);
            for (const auto& instance : instances) {
                if (++looked > kMaxSubkeys)
                    break;
                HKEY instanceKey = nullptr;
                if (::RegOpenKeyExA(deviceKey, instance.c_str(), 0, KEY_READ, &instanceKey) != ERROR_SUCCESS)
                    continue;
                const auto driver = StringValue(instanceKey, "Driver");
                ::RegCloseKey(instanceKey);
                if (driver && instance.find('&') == std::string::npos)
                    serialByDriver.emplace(Lower(*driver), instance);
            }
            ::RegCloseKey(deviceKey);
            if (looked > kMaxSubkeys)
                break;
        }
        ::RegCloseKey(usb);
    }
    const std::string className = Lower(ClassName(m_classKey));
    return Walk([&](const ModemEntry& entry, const std::string& subkey) {
        UsbIdentity identity;
        const auto found = serialByDriver.find(className + "\\" + Lower(subkey));
        if (found != serialByDriver.end())
            identity.serialNumber = found->second;
        identity.manufacturer = entry.providerName.value_or("");
        visit(entry, identity);
    });
}

bool WindowsModemRegistry::Walk(const std::function<void(const ModemEntry&, const std::string&)>& visit)
{
    HKEY classKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_classKey.c_str(), 0, KEY_READ, &classKey) != ERROR_SUCCESS)
        return false;
    std::vector<std::string> all;
    const bool listed = SubkeyNames(classKey, all);
    std::vector<std::string> names;
    std::copy_if(all.begin(), all.end(), std::back_inserter(names), IsModemSubkey);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        HKEY modem = nullptr;
        ModemEntry entry;
        if (::RegOpenKeyExA(classKey, name.c_str(), 0, KEY_READ, &modem) == ERROR_SUCCESS) {
            entry.providerName = StringValue(modem, "ProviderName");
            entry.attachedTo = StringValue(modem, "AttachedTo");
            ::RegCloseKey(modem);
        }
        visit(entry, name);
    }
    ::RegCloseKey(classKey);
    return listed;
}

} // namespace tervane
