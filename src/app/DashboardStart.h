#pragma once

namespace tervane {

struct CommandLine;
class ModemRegistry;
class SimulatedGateways;
class StartupQuery;

// The program comes in two parts so that the device answers while the window's toolkit loads.
// The start (this library, without the widget toolkit) reads the command line, starts the
// built-in simulated gateways and begins detection and the device query, then loads the
// window's part, tervane-q7-window.so from its own folder, and hands it what it started.
struct DashboardStart {
    // main's own arguments: QApplication keeps referring to them.
    int* argc = nullptr;
    char** argv = nullptr;
    const CommandLine* line = nullptr;
    SimulatedGateways* simulated = nullptr;
    ModemRegistry* registry = nullptr;
    StartupQuery* started = nullptr;
};

// The window's part, found by the name kDashboardWindowEntry: runs the window to its end and
// returns the program's exit status.
using DashboardWindowEntry = int (*)(DashboardStart* start);
inline constexpr const char* kDashboardWindowEntry = "tervane_dashboard_window";
inline constexpr const char* kDashboardWindowModule = "tervane-q7-window.so";

// The whole program, as main calls it.
int RunDashboard(int argc, char** argv);

} // namespace tervane

extern "C" int tervane_dashboard_window(tervane::DashboardStart* start);
