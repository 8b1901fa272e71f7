#include "DetectDevice.h"

#include "CommandLog.h"
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

bool IsDeviceModem(const ModemEntry& entry)
{
    return Readable(entry.providerName) && EqualsIgnoringCase(*entry.providerName, kDeviceProvider) &&
        entry.attachedTo.has_value();
}

bool FindCandidatePorts(ModemRegistry& registry, std::vector<std::string>& candidates,
    std::vector<RefusedPort>* refused)
{
    candidates.clear();
    if (refused)
        refused->clear();
    return registry.ForEachModem([&](const ModemEntry& entry) {
        if (!IsDeviceModem(entry) || !Readable(entry.attachedTo))
            return;
        const std::string& port = *entry.attachedTo;
        if (!UsableName(port))
            return;
        OpenFailure failure;
        if (!SerialLink::CanOpen(port, &failure)) {
            if (refused)
                refused->push_back({port, failure});
            return;
        }
        // Every qualifying port is kept, however many: with more devices attached than the
        // chooser's usual handful, each of them still has to be reachable.
        if (std::ranges::find(candidates, port) == candidates.end())
            candidates.push_back(port);
    });
}

bool DetectDevice(ModemRegistry& registry, SerialLink& link, const PortChooser& choose,
    std::vector<RefusedPort>* refused)
{
    // A port this link still holds would shut its own device out of the search.
    link.ClosePort();

    std::vector<RefusedPort> notOpened;
    std::vector<std::string> candidates;
    const bool listed = FindCandidatePorts(registry, candidates, &notOpened);
    const auto report = [&] {
        if (link.Log()) {
            for (const auto& port : notOpened)
                link.Log()->WriteNote(DescribeOpenFailure(port.port, port.failure));
        }
        if (refused)
            *refused = notOpened;
    };
    if (!listed || candidates.empty()) {
        report();
        return false;
    }

    std::string portName;
    if (candidates.size() == 1)
        portName = candidates.front();
    else if (choose)
        portName = choose(candidates);
    link.SetPortName(portName);

    if (!UsableName(portName) || !link.OpenPortNoDrain()) {
        if (UsableName(portName))
            notOpened.push_back({portName, link.LastOpenFailure()});
        report();
        link.ClosePort();
        return false;
    }
    report();
    return true;
}

} // namespace tervane
