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

std::string Pattern(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251 + seed) & 0xff);
    return bytes;
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
