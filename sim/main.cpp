// tervane-q7-sim: a simulated Skellin Q7 on a pseudo-terminal, for trying the dashboard without
// the device.
#include "SimOptions.h"
#include "SimulatedQ7.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using namespace tervane::sim;
    const SimOptions options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::cerr << "tervane-q7-sim: " << options.error << "\n\n" << SimUsage();
        return 2;
    }
    if (options.help) {
        std::cout << SimUsage();
        return 0;
    }
    if (options.version) {
        std::cout << "tervane-q7-sim " TERVANE_VERSION "\n";
        return 0;
    }

    // Blocked before the serving thread starts, so only sigwait below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::vector<std::unique_ptr<SimulatedQ7>> devices;
    for (int i = 0; i < options.count; ++i) {
        const std::string link = options.linkPath.empty() || options.count == 1
            ? options.linkPath
            : options.linkPath + "-" + std::to_string(i + 1);
        auto& device = devices.emplace_back(std::make_unique<SimulatedQ7>(NthGateway(options.config, i)));
        device->SetFaults(options.faults);
        if (!device->Start(link)) {
            std::cerr << "tervane-q7-sim: cannot create the port" << (link.empty() ? std::string() : " at " + link)
                      << "\n";
            for (auto& started : devices)
                started->Stop();
            return 1;
        }
        std::cout << device->PortPath() << std::endl;
    }

    int received = 0;
    sigwait(&stopSignals, &received);
    for (auto& device : devices)
        device->Stop();
    return 0;
}
