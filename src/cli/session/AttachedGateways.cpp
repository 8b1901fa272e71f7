#include "AttachedGateways.h"

#include "DetectDevice.h"
#include "SystemModemRegistry.h"

#include <cctype>
#include <filesystem>

namespace tervane {

namespace {

namespace fs = std::filesystem;

// The file a port name leads to; empty when it leads nowhere. On Windows a port is a device
// name, the same whatever its case and with or without the "\\.\" device prefix.
std::string Resolved(const std::string& path)
{
#ifdef _WIN32
    std::string name = path.rfind("\\\\.\\", 0) == 0 ? path.substr(4) : path;
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
#else
    std::error_code error;
    const fs::path real = fs::canonical(path, error);
    return error ? std::string() : real.string();
#endif
}

// The entries of serial/by-id, each with the file it leads to. Only so many are looked at:
// the folder is the system's, but nothing it holds may make the work unbounded.
std::vector<std::pair<std::string, std::string>> ByIdNames(const std::string& devDir)
{
    constexpr std::size_t kMaxEntries = 1024;
    std::vector<std::pair<std::string, std::string>> names;
    std::error_code error;
    fs::directory_iterator it(fs::path(devDir) / "serial" / "by-id", error);
    for (; !error && it != fs::directory_iterator() && names.size() < kMaxEntries; it.increment(error))
        names.emplace_back(it->path().string(), Resolved(it->path().string()));
    return names;
}

} // namespace

std::vector<AttachedGateway> ListAttachedGateways(const std::string& sysRoot, const std::string& devDir)
{
    std::vector<AttachedGateway> gateways;
    SystemModemRegistry registry(sysRoot, devDir);
    registry.ForEachUsbModem([&gateways](const ModemEntry& entry, const UsbIdentity& usb) {
        // Listed whether or not the port would open or has a usable name: the list shows
        // what is attached.
        if (!IsDeviceModem(entry))
            return;
        gateways.push_back({*entry.attachedTo, usb.serialNumber, usb.busPath, usb.manufacturer, {}});
    });
    if (gateways.empty())
        return gateways;
    const auto byId = ByIdNames(devDir);
    for (auto& gateway : gateways) {
        const std::string real = Resolved(gateway.port);
        for (const auto& [name, target] : byId) {
            if (!real.empty() && target == real && (gateway.byIdPath.empty() || name < gateway.byIdPath))
                gateway.byIdPath = name;
        }
    }
    return gateways;
}

std::optional<AttachedGateway> FindAttachedGateway(const std::string& port, const std::string& sysRoot,
    const std::string& devDir)
{
    const std::string real = Resolved(port);
    if (real.empty())
        return std::nullopt;
    for (auto& gateway : ListAttachedGateways(sysRoot, devDir)) {
        if (Resolved(gateway.port) == real)
            return gateway;
    }
    return std::nullopt;
}

} // namespace tervane
