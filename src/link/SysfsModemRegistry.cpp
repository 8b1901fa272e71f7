#include "SysfsModemRegistry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace tervane {

namespace {

// The modem chip maker's USB vendor id, as sysfs writes it.
constexpr std::string_view kModemVendorId = "114f";
constexpr std::string_view kModemProvider = "WAVECOM";

std::string Trim(std::string text)
{
    constexpr const char* blanks = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// A sysfs attribute without its line end; none when the file cannot be read.
std::optional<std::string> ReadAttribute(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return Trim(std::move(text));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
    });
}

bool IsWithin(const fs::path& path, const fs::path& root)
{
    auto [rootEnd, pathAt] = std::ranges::mismatch(root, path);
    return rootEnd == root.end() && pathAt != path.end();
}

// The USB device folder at or above the tty's device, never climbing out of the sysfs root.
std::optional<fs::path> FindUsbDevice(const fs::path& ttyDir, const fs::path& root)
{
    std::error_code ec;
    fs::path at = fs::canonical(ttyDir / "device", ec);
    if (ec)
        return std::nullopt;
    while (IsWithin(at, root)) {
        if (fs::is_regular_file(at / "idVendor", ec))
            return at;
        at = at.parent_path();
    }
    return std::nullopt;
}

} // namespace

SysfsModemRegistry::SysfsModemRegistry(std::string sysRoot, std::string devDir)
    : m_sysRoot(std::move(sysRoot))
    , m_devDir(std::move(devDir))
{
}

bool SysfsModemRegistry::ForEachModem(const std::function<void(const ModemEntry&)>& visit)
{
    return ForEachUsbModem([&visit](const ModemEntry& entry, const UsbIdentity&) { visit(entry); });
}

bool SysfsModemRegistry::ForEachUsbModem(const std::function<void(const ModemEntry&, const UsbIdentity&)>& visit)
{
    std::error_code ec;
    const fs::path root = fs::canonical(m_sysRoot, ec);
    if (ec)
        return false;
    const fs::path ttyClass = root / "class" / "tty";

    std::vector<std::string> names;
    fs::directory_iterator it(ttyClass, ec);
    if (ec)
        return false;
    for (; it != fs::directory_iterator(); it.increment(ec))
        names.push_back(it->path().filename().string());
    if (ec)
        return false;
    std::ranges::sort(names);

    for (const auto& name : names) {
        const auto usbDevice = FindUsbDevice(ttyClass / name, root);
        if (!usbDevice)
            continue;
        ModemEntry entry;
        entry.providerName = ReadAttribute(*usbDevice / "manufacturer");
        const auto vendor = ReadAttribute(*usbDevice / "idVendor");
        if (vendor && EqualsIgnoringCase(*vendor, kModemVendorId))
            entry.providerName = std::string(kModemProvider);
        entry.attachedTo = m_devDir + "/" + name;
        UsbIdentity identity;
        identity.serialNumber = ReadAttribute(*usbDevice / "serial").value_or("");
        identity.busPath = usbDevice->filename().string();
        identity.manufacturer = ReadAttribute(*usbDevice / "manufacturer").value_or("");
        visit(entry, identity);
    }
    return true;
}

} // namespace tervane
