#pragma once

#include "CommandLog.h"
#include "InterruptCleanup.h"
#include "SerialLink.h"

#include <memory>
#include <string>
#include <vector>

namespace tervane {

namespace sim {
class SimulatedQ7;
}

struct CliOptions;

// Where the device was looked for when it is not there.
enum class ConnectFailure {
    None,
    PortUnusable,    // --port names nothing that opens as a serial port
    NotFound,        // no device among the modem ports
    Several,         // several devices and no --port to choose
    SimulatorFailed, // the built-in device could not start or its options are wrong
};

// The device the tool talks to, opened the way the command line asks: the built-in
// simulated device, the port named by --port, or the one device found among the modem
// ports. Owns the command log, the link and the simulated device, closed in that order
// backwards.
class DeviceConnection {
public:
    explicit DeviceConnection(Clock& clock);
    ~DeviceConnection();
    DeviceConnection(const DeviceConnection&) = delete;
    DeviceConnection& operator=(const DeviceConnection&) = delete;

    // Opens the command log when asked for; false (and why in `failure`) when it cannot.
    bool OpenLog(const std::string& path, std::string& failure);
    // Opens the device. `sysRoot` and `devDir` are where the modem ports are looked for.
    ConnectFailure Open(const CliOptions& options, const std::string& sysRoot, const std::string& devDir);

    SerialLink& Link() { return m_link; }
    // The candidates when several devices were found.
    const std::vector<std::string>& Candidates() const { return m_candidates; }
    // Why the device's port would not open, one line for each port tried (--port, or the
    // device ports that were found); empty when there was none to try.
    const std::vector<std::string>& OpenProblems() const { return m_openProblems; }
    // Why the simulated device did not start.
    const std::string& SimulatorError() const { return m_simulatorError; }
    // The built-in device, when there is one.

private:
#ifndef _WIN32
    // The built-in device needs a pseudo-terminal: Windows has none, and its build no simulator.
    std::unique_ptr<sim::SimulatedQ7> m_simulated;
#endif
    // The built-in device's link and folder, removed when the tool is interrupted.
    InterruptRemoval m_simulatedLink;
    InterruptRemoval m_simulatedFolder;
    CommandLog m_log;
    SerialLink m_link;
    std::vector<std::string> m_candidates;
    std::string m_simulatorError;
    std::vector<std::string> m_openProblems;
};

} // namespace tervane
