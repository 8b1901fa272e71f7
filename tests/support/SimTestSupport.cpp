#include "SimTestSupport.h"

#include <algorithm>

namespace tervane::test {

sim::DeviceConfig FastRestarts()
{
    sim::DeviceConfig config;
    config.restartDelayMs = 200;
    return config;
}

void HoldDuringRestarts(FastClock& clock, const sim::SimulatedQ7& device)
{
    clock.HoldWhile([&device] { return device.Restarting(); });
}

bool StartAndOpen(sim::SimulatedQ7& device, SerialLink& link, const sim::Faults& faults)
{
    if (!device.Start())
        return false;
    device.SetFaults(faults);
    link.SetPortName(device.PortPath());
    return link.OpenPort();
}

bool AnyReceived(const sim::SimulatedQ7& device, std::string_view fragment)
{
    return FindReceived(device, fragment) >= 0;
}

long FindReceived(const sim::SimulatedQ7& device, std::string_view fragment, long from)
{
    const auto commands = device.ReceivedCommands();
    for (long i = std::max(from, 0L); i < static_cast<long>(commands.size()); ++i) {
        if (commands[static_cast<std::size_t>(i)].find(fragment) != std::string::npos)
            return i;
    }
    return -1;
}

} // namespace tervane::test
