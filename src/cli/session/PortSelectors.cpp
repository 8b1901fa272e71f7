#include "PortSelectors.h"

#include "AttachedGateways.h"
#include "CliDeviceQuery.h"
#include "CliSession.h"
#include "ProcedureSteps.h"

#include <sstream>

namespace tervane {

namespace {

constexpr std::string_view kImei = "imei:";
constexpr std::string_view kSerial = "serial:";

bool Starts(const std::string& text, std::string_view prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// The IMEI the gateway on `port` gives, asked on a session of its own whose lines go nowhere:
// one that does not answer is only not the one looked for.
std::string ProbeImei(const CliSession& session, const std::string& port)
{
    CliOptions options = session.Options();
    options.port = port;
    options.ports = {port};
    options.json = true;
    options.logPath.clear();
    std::ostringstream sink;
    CliEnvironment environment = session.Environment();
    environment.out = &sink;
    environment.err = &sink;
    environment.errorIsTerminal = false;
    CliSession probe(options, environment);
    DeviceFacts facts;
    return ReadDevice(probe, facts) ? std::string() : facts.imei;
}

} // namespace

std::optional<int> ResolvePortSelectors(CliSession& session)
{
    const CliOptions& options = session.Options();
    bool any = false;
    for (const auto& port : options.ports)
        any = any || Starts(port, kImei) || Starts(port, kSerial);
    if (!any)
        return std::nullopt;

    const std::vector<AttachedGateway> gateways =
        ListAttachedGateways(session.Environment().sysRoot, session.Environment().devDir);
    std::vector<std::string> imeis; // asked once, when an imei: selector needs them
    std::vector<std::string> ports;
    for (const auto& port : options.ports) {
        const bool byImei = Starts(port, kImei);
        if (!byImei && !Starts(port, kSerial)) {
            ports.push_back(port);
            continue;
        }
        const std::string wanted = port.substr(byImei ? kImei.size() : kSerial.size());
        if (byImei && imeis.empty()) {
            for (const auto& gateway : gateways)
                imeis.push_back(ProbeImei(session, gateway.port));
        }
        std::vector<std::string> found;
        for (std::size_t i = 0; i < gateways.size(); ++i) {
            const std::string& have = byImei ? imeis[i] : gateways[i].serialNumber;
            if (!wanted.empty() && have == wanted)
                found.push_back(gateways[i].port);
        }
        const std::string what = byImei ? "IMEI " : "USB serial number ";
        if (found.empty())
            return session.Fail(kExitNoDevice, "no Skellin Q7 with " + what + ShownName(wanted) + " is attached");
        if (found.size() > 1)
            return session.Fail(kExitNoDevice, "several Skellin Q7 have " + what + ShownName(wanted));
        ports.push_back(found.front());
    }
    session.SetPorts(std::move(ports));
    return std::nullopt;
}

} // namespace tervane
