#include "WindowsModemRegistry.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
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
    HKEY classKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_classKey.c_str(), 0, KEY_READ, &classKey) != ERROR_SUCCESS)
        return false;
    std::vector<std::string> names;
    bool listed = true;
    for (DWORD index = 0; index < kMaxSubkeys; ++index) {
        char name[256];
        DWORD length = sizeof name;
        const LONG result = ::RegEnumKeyExA(classKey, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS) {
            listed = false;
            break;
        }
        if (IsModemSubkey(std::string(name, length)))
            names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        HKEY modem = nullptr;
        ModemEntry entry;
        if (::RegOpenKeyExA(classKey, name.c_str(), 0, KEY_READ, &modem) == ERROR_SUCCESS) {
            entry.providerName = StringValue(modem, "ProviderName");
            entry.attachedTo = StringValue(modem, "AttachedTo");
            ::RegCloseKey(modem);
        }
        visit(entry);
    }
    ::RegCloseKey(classKey);
    return listed;
}

} // namespace tervane
