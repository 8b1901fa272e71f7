#include "CliDeviceQuery.h"

#include "CliRunner.h"
#include "CliSession.h"
#include "RciRequests.h"

namespace tervane {

std::optional<int> ReadDevice(CliSession& session, DeviceFacts& facts)
{
    if (const auto status = session.Connect())
        return status;
    CliRunner& runner = session.Runner();
    if (QueryDevice(facts, session.Documents(), runner))
        return std::nullopt;

    // A device that answered nothing at all is as good as none.
    bool anyAnswer = false;
    for (const KeptRow& kept : runner.LastBatch())
        anyAnswer = anyAnswer || DeviceResponded(kept.row);
    if (!anyAnswer)
        return session.Fail(kExitNoDevice, "the device on " + session.PortName() + " does not answer");
    // The query batch is the last one and always holds the settings row.
    const KeptRow* settings = runner.LastRowWith(kQuerySettingsRequest);
    const bool noSettings = settings == nullptr || !settings->answered;
    return session.Fail(kExitRefused,
        std::string("the device answered the ") + (noSettings ? "settings" : "state") + " query with nothing");
}

std::optional<int> ReadDevice(CliSession& session)
{
    DeviceFacts facts;
    return ReadDevice(session, facts);
}

} // namespace tervane
