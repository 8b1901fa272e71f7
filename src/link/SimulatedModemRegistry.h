#pragma once

#include "ModemRegistry.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace tervane {

// The simulated gateways' registrations, held in memory: what --simulate discovers, and what
// the tests of discovery list.
class SimulatedModemRegistry : public ModemRegistry {
public:
    SimulatedModemRegistry() = default;
    explicit SimulatedModemRegistry(std::vector<ModemEntry> entries);

    void Add(ModemEntry entry);
    void Add(std::string providerName, std::string attachedTo);
    // The listing breaks down once `count` entries are handed over (0: before the first; a
    // count at or past the end fails after the last one).
    void FailListingAfter(std::size_t count);
    const std::vector<ModemEntry>& Entries() const;

    bool ForEachModem(const std::function<void(const ModemEntry&)>& visit) override;

private:
    std::vector<ModemEntry> m_entries;
    std::optional<std::size_t> m_failAfter;
};

} // namespace tervane
