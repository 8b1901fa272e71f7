#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tervane {

class ModemRegistry;
class SerialLink;

// The modem's driver provider, compared ignoring case.
inline constexpr const char* kDeviceProvider = "WAVECOM";

// Registry values longer than this are skipped, as they never fit the 100-byte value
// buffers of the modem registrations.
inline constexpr std::size_t kMaxRegistryValueLength = 99;

// Asked to pick one port when several devices qualify. Gets the candidates in the order they
// were found; returns the chosen or typed port name, or an empty text when the user gave up.
using PortChooser = std::function<std::string(const std::vector<std::string>& candidates)>;

// The ports of registered "WAVECOM" modems that can be opened right now, in registration
// order without repeats. False when the registrations cannot be listed; `candidates` then
// holds what was found before the listing broke down.
bool FindCandidatePorts(ModemRegistry& registry, std::vector<std::string>& candidates);

// Finds the device's port, lets `choose` decide between several, and leaves the port open
// and configured (not drained) in `link`, with its name as the link's port name.
// False when no usable port was found or chosen; the link's port is then closed.
bool DetectDevice(ModemRegistry& registry, SerialLink& link, const PortChooser& choose);

} // namespace tervane
