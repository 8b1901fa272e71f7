#include "CliDeviceQuery.h"

#include "CliRunner.h"
#include "CliSession.h"
#include "CommandText.h"
#include "RciRequests.h"

#include <array>
#include <string_view>

namespace tervane {

namespace {

// The modem's identity answers and what each one is.
struct IdentityRow {
    std::string_view command;
    std::string_view what;
};
constexpr std::array kIdentityRows {IdentityRow {"AT+CGMI", "modem type"}, IdentityRow {"AT+CGSN", "IMEI"},
    IdentityRow {"AT+CGMR", "modem revision"}, IdentityRow {"AT+CIMI", "IMSI"},
    IdentityRow {"AT+CNUM", "phone number"}};

std::optional<int> Query(CliSession& session, DeviceFacts& facts)
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

} // namespace

std::optional<int> ReadDevice(CliSession& session, DeviceFacts& facts)
{
    if (const auto status = Query(session, facts))
        return status;
    // An answer that never ended (an endless or echoing device) is the device's fault, not
    // its identity; what did end is its first line, bounded.
    for (const IdentityRow& identity : kIdentityRows) {
        const KeptRow* kept = session.Runner().LastRowWith(identity.command);
        if (kept != nullptr && kept->row.readEnd == ReadEnd::Unended)
            return session.Fail(kExitRefused,
                "the device never ended its answer to " + std::string(identity.command) + " (the " +
                    std::string(identity.what) + ")");
    }
    for (std::string* field : {&facts.modemType, &facts.imei, &facts.modemRevision, &facts.imsi, &facts.phoneNumber})
        *field = IdentityText(*field);
    return std::nullopt;
}

std::optional<int> ReadDevice(CliSession& session)
{
    DeviceFacts facts;
    return Query(session, facts);
}

} // namespace tervane
