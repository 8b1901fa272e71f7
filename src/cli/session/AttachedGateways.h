#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tervane {

// A gateway the system lists among its USB modems, as known without opening its port.
struct AttachedGateway {
    std::string port;
    std::string serialNumber;  // empty when the USB device has none
    std::string busPath;       // "1-1.4"
    std::string maker;         // the USB device's manufacturer string as it came
    // The lasting name of the port under the device folder's serial/by-id, which stays the
    // same across replugs; empty when the system gives none.
    std::string byIdPath;
};

// The modems whose maker is WAVECOM (or whose vendor id is the modem chip's), in port name
// order, under the sysfs root and device folder given. Nothing is opened.
std::vector<AttachedGateway> ListAttachedGateways(const std::string& sysRoot, const std::string& devDir);

// The attached gateway whose port is `port` (by any name that leads to the same file: the
// port itself, its by-id name); none when it is not among them.
std::optional<AttachedGateway> FindAttachedGateway(const std::string& port, const std::string& sysRoot,
    const std::string& devDir);

} // namespace tervane
