// devices: the gateways attached, as the system lists them; with --probe, what each says
// about itself.

#include "AttachedGateways.h"
#include "CliDeviceQuery.h"
#include "CliSession.h"
#include "CommandText.h"
#include "FirmwareUpdate.h"
#include "ProcedureSteps.h"
#include "RciDocuments.h"
#include "SettingPath.h"
#include "SubcommandHandlers.h"

#include <iomanip>
#include <ostream>

namespace tervane {

namespace {

struct Probe {
    bool answered = false;
    std::string imei;
    std::string firmware;
};

// Opens the gateway on its own session, so that one that does not answer is only a line.
Probe ProbeGateway(CliSession& session, const std::string& port)
{
    CliOptions options = session.Options();
    options.port = port;
    options.ports = {port};
    options.json = true;
    CliSession probeSession(options, session.Environment());
    Probe probe;
    DeviceFacts facts;
    if (ReadDevice(probeSession, facts))
        return probe;
    probe.answered = true;
    probe.imei = facts.imei;
    probe.firmware = IdentityText(SettingText(probeSession.Documents().StateRoot(), kFirmwareVersionPath).value_or(""));
    return probe;
}

} // namespace

int RunDevices(CliSession& session, const Operands& /*operands*/)
{
    const CliOptions& options = session.Options();
    std::vector<AttachedGateway> gateways;
    if (!options.ports.empty()) {
        for (const auto& port : options.ports)
            gateways.push_back({port, {}, {}, {}, {}});
    } else {
        gateways = ListAttachedGateways(session.Environment().sysRoot, session.Environment().devDir);
    }

    int status = kExitDone;
    JsonValue list = JsonValue::Array();
    std::ostream& out = session.Out();
    for (const auto& gateway : gateways) {
        const std::string identity = gateway.serialNumber.empty() ? gateway.busPath : gateway.serialNumber;
        out << std::left << std::setw(20) << EscapeForDisplay(gateway.port) << " " << std::setw(20)
            << EscapeForDisplay(identity) << " " << EscapeForDisplay(gateway.maker);
        JsonValue row = JsonValue::Object();
        row.Set("port", gateway.port);
        row.Set("serialNumber", gateway.serialNumber);
        row.Set("busPath", gateway.busPath);
        row.Set("maker", gateway.maker);
        row.Set("byIdPath", gateway.byIdPath.empty() ? JsonValue() : JsonValue(gateway.byIdPath));
        if (options.probe) {
            const Probe probe = ProbeGateway(session, gateway.port);
            row.Set("answered", probe.answered);
            row.Set("imei", probe.imei);
            row.Set("firmwareVersion", probe.firmware);
            if (probe.answered)
                out << "  IMEI " << EscapeForDisplay(probe.imei) << "  firmware " << EscapeForDisplay(probe.firmware);
            else
                status = kExitNoDevice;
        }
        out << "\n";
        list.Append(std::move(row));
    }
    session.Result().Set("devices", std::move(list));
    if (gateways.empty())
        session.Out() << "No Skellin Q7 attached.\n";
    return status;
}

} // namespace tervane
