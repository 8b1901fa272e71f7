#include "SimulatedGateways.h"

#include "SimulatedModemRegistry.h"
#include "SimulatedQ7.h"

#include <string>

namespace tervane {

SimulatedGateways::SimulatedGateways() = default;

SimulatedGateways::~SimulatedGateways()
{
    Stop();
}

bool SimulatedGateways::Start(const sim::SimOptions& options, SimulatedModemRegistry& registry)
{
    InstallInterruptCleanup();
    for (int i = 0; i < options.count; ++i) {
        // As tervane-q7-sim publishes them: PATH, or PATH-1, PATH-2, ... for several.
        const std::string link = options.linkPath.empty() || options.count == 1
            ? options.linkPath
            : options.linkPath + "-" + std::to_string(i + 1);
        auto& device = m_devices.emplace_back(std::make_unique<sim::SimulatedQ7>(sim::NthGateway(options.config, i)));
        device->SetFaults(options.faults);
        if (!device->Start(link)) {
            Stop();
            return false;
        }
        if (!device->OwnFolder().empty())
            m_removals.emplace_back(device->OwnFolder(), InterruptRemoval::Kind::Folder);
        m_removals.emplace_back(device->PortPath(), InterruptRemoval::Kind::File);
        registry.Add("WAVECOM", device->PortPath());
    }
    return true;
}

void SimulatedGateways::Stop()
{
    for (auto& device : m_devices)
        device->Stop();
    m_devices.clear();
    m_removals.clear();
}

} // namespace tervane
