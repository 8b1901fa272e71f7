#include "SimulatedModemRegistry.h"

#include <utility>

namespace tervane {

SimulatedModemRegistry::SimulatedModemRegistry(std::vector<ModemEntry> entries)
    : m_entries(std::move(entries))
{
}

void SimulatedModemRegistry::Add(ModemEntry entry)
{
    m_entries.push_back(std::move(entry));
}

void SimulatedModemRegistry::Add(std::string providerName, std::string attachedTo)
{
    m_entries.push_back({std::move(providerName), std::move(attachedTo)});
}

void SimulatedModemRegistry::FailListingAfter(std::size_t count)
{
    m_failAfter = count;
}

const std::vector<ModemEntry>& SimulatedModemRegistry::Entries() const
{
    return m_entries;
}

bool SimulatedModemRegistry::ForEachModem(const std::function<void(const ModemEntry&)>& visit)
{
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_failAfter && i >= *m_failAfter)
            return false;
        visit(m_entries[i]);
    }
    return !m_failAfter;
}

} // namespace tervane
