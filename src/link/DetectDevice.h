#pragma once

#include "SerialPort.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tervane {

class ModemRegistry;
class SerialLink;
struct ModemEntry;

// The modem's driver provider, compared ignoring case.
inline constexpr const char* kDeviceProvider = "WAVECOM";

// Registry values longer than this are skipped, as they never fit the 100-byte value
// buffers of the modem registrations.
inline constexpr std::size_t kMaxRegistryValueLength = 99;

// Asked to pick one port when several devices qualify. Gets the candidates in the order they
// were found; returns the chosen or typed port name, or an empty text when the user gave up.
using PortChooser = std::function<std::string(const std::vector<std::string>& candidates)>;

// A device port that was found but would not open, and why.
struct RefusedPort {
    std::string port;
    OpenFailure failure;
};

// Whether a modem registration is one of the device's: its driver provider is
// kDeviceProvider, ignoring case, and it names the port it is attached to. Whether that
// port can be used is for FindCandidatePorts to tell.
bool IsDeviceModem(const ModemEntry& entry);

// The ports of registered "WAVECOM" modems that can be opened right now, in registration
// order without repeats. False when the registrations cannot be listed; `candidates` then
// holds what was found before the listing broke down. The ports that would not open go to
// `refused` when given.
bool FindCandidatePorts(ModemRegistry& registry, std::vector<std::string>& candidates,
    std::vector<RefusedPort>* refused = nullptr);

// Finds the device's port, lets `choose` decide between several, and leaves the port open
// and configured (not drained) in `link`, with its name as the link's port name.
// False when no usable port was found or chosen; the link's port is then closed. Every port
// that would not open is noted with its reason in the link's command log and in `refused`.
bool DetectDevice(ModemRegistry& registry, SerialLink& link, const PortChooser& choose,
    std::vector<RefusedPort>* refused = nullptr);

} // namespace tervane
