#include "SysfsModemRegistry.h"

#include <algorithm>
#include <climits>
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

// What a tty's USB interface says of itself: the class, subclass and protocol codes as
// sysfs writes them (two hexadecimal digits) and the interface number.
struct TtyInterface {
    std::string name;
    fs::path usbDevice;
    bool speaksAt = false;
    long number = LONG_MAX;
};

// The interface folder (holding bInterfaceClass) at or above the tty's device, below the
// USB device.
std::optional<fs::path> FindInterface(const fs::path& ttyDir, const fs::path& usbDevice)
{
    std::error_code ec;
    fs::path at = fs::canonical(ttyDir / "device", ec);
    if (ec)
        return std::nullopt;
    while (IsWithin(at, usbDevice)) {
        if (fs::is_regular_file(at / "bInterfaceClass", ec))
            return at;
        at = at.parent_path();
    }
    return std::nullopt;
}

TtyInterface DescribeInterface(const std::string& name, const fs::path& ttyDir, const fs::path& usbDevice)
{
    TtyInterface tty {name, usbDevice};
    const auto interface = FindInterface(ttyDir, usbDevice);
    if (!interface)
        return tty;
    // Communications class, abstract control model, AT commands (V.250).
    tty.speaksAt = ReadAttribute(*interface / "bInterfaceClass") == "02"
        && ReadAttribute(*interface / "bInterfaceSubClass") == "02"
        && ReadAttribute(*interface / "bInterfaceProtocol") == "01";
    const auto number = ReadAttribute(*interface / "bInterfaceNumber");
    if (number && !number->empty() && number->size() <= 2
        && number->find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
        tty.number = std::stol(*number, nullptr, 16);
    return tty;
}

// The one port of a USB device that takes the device's commands: the interface that says it
// speaks AT commands, else the first interface. `ttys` are the device's own, in name order.
const TtyInterface& CommandPort(const std::vector<const TtyInterface*>& ttys)
{
    const auto at = std::ranges::find_if(ttys, [](const TtyInterface* t) { return t->speaksAt; });
    if (at != ttys.end())
        return **at;
    return **std::ranges::min_element(ttys, {}, [](const TtyInterface* t) { return t->number; });
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

    std::vector<TtyInterface> ttys;
    for (const auto& name : names) {
        const auto usbDevice = FindUsbDevice(ttyClass / name, root);
        if (usbDevice)
            ttys.push_back(DescribeInterface(name, ttyClass / name, *usbDevice));
    }

    // A modem with several interfaces shows a tty for each; it is one device all the same.
    std::vector<fs::path> seen;
    for (const auto& tty : ttys) {
        if (std::ranges::find(seen, tty.usbDevice) != seen.end())
            continue;
        seen.push_back(tty.usbDevice);
        std::vector<const TtyInterface*> siblings;
        for (const auto& other : ttys) {
            if (other.usbDevice == tty.usbDevice)
                siblings.push_back(&other);
        }
        const TtyInterface& port = CommandPort(siblings);
        ModemEntry entry;
        entry.providerName = ReadAttribute(tty.usbDevice / "manufacturer");
        const auto vendor = ReadAttribute(tty.usbDevice / "idVendor");
        if (vendor && EqualsIgnoringCase(*vendor, kModemVendorId))
            entry.providerName = std::string(kModemProvider);
        entry.attachedTo = m_devDir + "/" + port.name;
        UsbIdentity identity;
        identity.serialNumber = ReadAttribute(tty.usbDevice / "serial").value_or("");
        identity.busPath = tty.usbDevice.filename().string();
        identity.manufacturer = ReadAttribute(tty.usbDevice / "manufacturer").value_or("");
        visit(entry, identity);
    }
    return true;
}

} // namespace tervane
