#include "DashboardStart.h"

#include "CommandLine.h"
#include "SimulatedGateways.h"
#include "SimulatedModemRegistry.h"
#include "StartupLog.h"
#include "StartupQuery.h"
#include "SysfsModemRegistry.h"

#include <dlfcn.h>

#include <iostream>
#include <string>
#include <vector>

namespace tervane {

namespace {

// The window's part lies beside this library: where the build puts both, and where they are
// installed. Never a path from the environment or the current folder.
std::string WindowModulePath()
{
    Dl_info self {};
    if (dladdr(reinterpret_cast<const void*>(&RunDashboard), &self) == 0 || self.dli_fname == nullptr)
        return {};
    std::string path = self.dli_fname;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    path.resize(slash + 1);
    return path + kDashboardWindowModule;
}

// Loads the window's part; null, with the reason told, when it is missing or broken.
DashboardWindowEntry LoadWindow()
{
    const std::string path = WindowModulePath();
    if (path.empty()) {
        std::cerr << "tervane-q7-dashboard: cannot find the folder of its window part\n";
        return nullptr;
    }
    // Never closed: the toolkit's own clean-up runs at exit.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        std::cerr << "tervane-q7-dashboard: cannot load its window part " << path << ": "
                  << (reason != nullptr ? reason : "unknown reason") << "\n";
        return nullptr;
    }
    auto* entry = reinterpret_cast<DashboardWindowEntry>(dlsym(module, kDashboardWindowEntry));
    if (entry == nullptr)
        std::cerr << "tervane-q7-dashboard: " << path << " is not its window part\n";
    return entry;
}

} // namespace

int RunDashboard(int argc, char** argv)
{
    const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.error.empty()) {
        std::cerr << "tervane-q7-dashboard: " << line.error << "\nTry 'tervane-q7-dashboard --help'.\n";
        return 2;
    }
    if (line.help) {
        std::cout << UsageText();
        return 0;
    }
    if (line.version) {
        std::cout << "tervane-q7-dashboard " << TERVANE_PRODUCT_VERSION << "\n";
        return 0;
    }

    // The simulated devices are found like real ones: through modem registrations. Their
    // threads parse requests with libxml2, so they stop before the window cleans it up.
    SimulatedGateways simulated;
    SimulatedModemRegistry simulatedRegistry;
    SysfsModemRegistry systemRegistry;
    if (line.simulate && !simulated.Start(line.simulator, simulatedRegistry)) {
        std::cerr << "tervane-q7-dashboard: the simulated device could not start\n";
        return 3;
    }
    ModemRegistry& registry = line.simulate ? static_cast<ModemRegistry&>(simulatedRegistry) : systemRegistry;

    // Detection and the device query begin before the window's toolkit is even loaded, so
    // that the device answers meanwhile; the window takes the answers when it is built.
    StartupQuery started;
    OpenCommandLog(line.text, started.Log(), started.Link());
    started.Start(registry, line.port);

    const DashboardWindowEntry window = LoadWindow();
    if (window == nullptr)
        return 1;
    DashboardStart start;
    start.argc = &argc;
    start.argv = argv;
    start.line = &line;
    start.simulated = &simulated;
    start.registry = &registry;
    start.started = &started;
    return window(&start);
}

} // namespace tervane
