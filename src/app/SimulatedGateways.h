#pragma once

#include "InterruptCleanup.h"
#include "SimOptions.h"

#include <memory>
#include <vector>

namespace tervane {

class SimulatedModemRegistry;

namespace sim {
class SimulatedQ7;
}

// The dashboard's built-in simulated gateways (--simulate): as many as the options ask for,
// each with its own identity, its faults and its port, registered like real modems so that
// detection finds them (and, with several, offers the port choice). Ctrl-C or SIGTERM does
// not leave their ports and folders behind.
class SimulatedGateways {
public:
    SimulatedGateways();
    ~SimulatedGateways();
    SimulatedGateways(const SimulatedGateways&) = delete;
    SimulatedGateways& operator=(const SimulatedGateways&) = delete;

    // False when one of them could not start; those started are stopped again then.
    bool Start(const sim::SimOptions& options, SimulatedModemRegistry& registry);
    // Stops every gateway; their threads use the XML library, so this comes before its clean-up.
    void Stop();
    std::size_t Count() const { return m_devices.size(); }

private:
    std::vector<std::unique_ptr<sim::SimulatedQ7>> m_devices;
    std::vector<InterruptRemoval> m_removals;
};

} // namespace tervane
