#include "DeviceConnection.h"

#include "CliOptions.h"
#include "DetectDevice.h"
#include "StopRequest.h"
#include "SystemCalls.h"
#include "SystemModemRegistry.h"

#ifndef _WIN32
#include "SimOptions.h"
#include "SimulatedQ7.h"
#endif

#include <cerrno>
#include <cstring>
#include <ctime>

namespace tervane {

DeviceConnection::DeviceConnection(Clock& clock)
    : m_link(clock)
{
    // Ctrl-C on several gateways: the command each is in ends within a few seconds.
    LinkLimits limits;
    limits.stop = &StopFlag();
    m_link.SetLimits(limits);
}

DeviceConnection::~DeviceConnection()
{
    // The port goes before the device behind it and before the log it writes to.
    m_link.ClosePort();
    m_link.SetLog(nullptr);
#ifndef _WIN32
    if (m_simulated)
        m_simulated->Stop();
#endif
    m_simulatedLink.Release();
    m_simulatedFolder.Release();
}

bool DeviceConnection::OpenLog(const std::string& path, std::string& failure)
{
    if (path.empty())
        return true;
    std::string why;
    if (!m_log.Open(path, &why)) {
        failure = "cannot open the command log " + path + (why.empty() ? std::string() : ": " + why);
        return false;
    }
    const std::time_t now = std::time(nullptr);
    char when[64] = "";
    if (std::tm local {}; LocalParts(now, local))
        std::strftime(when, sizeof when, "%a %b %d %H:%M:%S %Y", &local);
    m_log.WriteBanner("tervane-q7", TERVANE_VERSION, when);
    m_link.SetLog(&m_log);
    return true;
}

ConnectFailure DeviceConnection::Open(const CliOptions& options, const std::string& sysRoot,
    const std::string& devDir)
{
    std::string port = options.port;
    if (options.simulate) {
#ifdef _WIN32
        m_simulatorError = "the built-in simulated device is not in the Windows build; "
                           "connect a gateway and name its port with --port COMn";
        return ConnectFailure::SimulatorFailed;
#else
        const sim::SimOptions simOptions = sim::ParseSimOptions(options.simOptions);
        if (!simOptions.error.empty() || simOptions.help) {
            m_simulatorError = simOptions.help ? "--sim-option takes the options of tervane-q7-sim, not --help"
                                               : simOptions.error;
            return ConnectFailure::SimulatorFailed;
        }
        m_simulated = std::make_unique<sim::SimulatedQ7>(simOptions.config);
        m_simulated->SetFaults(simOptions.faults);
        if (!m_simulated->Start(simOptions.linkPath)) {
            m_simulatorError = "the simulated device could not start";
            return ConnectFailure::SimulatorFailed;
        }
        port = m_simulated->PortPath();
        m_simulatedFolder = InterruptRemoval(m_simulated->OwnFolder(), InterruptRemoval::Kind::Folder);
        m_simulatedLink = InterruptRemoval(port, InterruptRemoval::Kind::File);
#endif
    }

    if (!port.empty()) {
        m_link.SetPortName(port);
        if (m_link.OpenPortNoDrain())
            return ConnectFailure::None;
        m_openProblems.push_back(DescribeOpenFailure(port, m_link.LastOpenFailure()));
        m_log.WriteNote(m_openProblems.back());
        return ConnectFailure::PortUnusable;
    }

    SystemModemRegistry registry(sysRoot, devDir);
    bool several = false;
    const auto refuseToGuess = [this, &several](const std::vector<std::string>& candidates) {
        several = true;
        m_candidates = candidates;
        return std::string();
    };
    std::vector<RefusedPort> refused;
    const bool found = DetectDevice(registry, m_link, refuseToGuess, &refused);
    for (const auto& refusal : refused)
        m_openProblems.push_back(DescribeOpenFailure(refusal.port, refusal.failure));
    if (found)
        return ConnectFailure::None;
    return several ? ConnectFailure::Several : ConnectFailure::NotFound;
}

} // namespace tervane
