#include "DetectDevice.h"

#include "ModemRegistry.h"
#include "SerialLink.h"

#include <algorithm>
#include <string_view>

namespace tervane {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
    });
}

// Present and short enough to have been read whole.
bool Readable(const std::optional<std::string>& value)
{
    return value && value->size() <= kMaxRegistryValueLength;
}

// A name with a zero byte in it would open some other, shorter path.
bool UsableName(const std::string& port)
{
    return !port.empty() && port.find('\0') == std::string::npos;
}

} // namespace

bool FindCandidatePorts(ModemRegistry& registry, std::vector<std::string>& candidates)
{
    candidates.clear();
    return registry.ForEachModem([&](const ModemEntry& entry) {
        if (!Readable(entry.providerName) || !EqualsIgnoringCase(*entry.providerName, kDeviceProvider))
            return;
        if (!Readable(entry.attachedTo))
            return;
        const std::string& port = *entry.attachedTo;
        if (!UsableName(port))
            return;
        if (!SerialLink::CanOpen(port))
            return;
        // Every qualifying port is kept, however many: with more devices attached than the
        // chooser's usual handful, each of them still has to be reachable.
        if (std::ranges::find(candidates, port) == candidates.end())
            candidates.push_back(port);
    });
}

bool DetectDevice(ModemRegistry& registry, SerialLink& link, const PortChooser& choose)
{
    // A port this link still holds would shut its own device out of the search.
    link.ClosePort();

    std::vector<std::string> candidates;
    if (!FindCandidatePorts(registry, candidates) || candidates.empty())
        return false;

    std::string portName;
    if (candidates.size() == 1)
        portName = candidates.front();
    else if (choose)
        portName = choose(candidates);
    link.SetPortName(portName);

    if (!UsableName(portName) || !link.OpenPortNoDrain()) {
        link.ClosePort();
        return false;
    }
    return true;
}

} // namespace tervane
