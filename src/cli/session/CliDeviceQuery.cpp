#include "CliDeviceQuery.h"

#include "CliRunner.h"
#include "CliSession.h"
#include "CommandText.h"

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

std::optional<int> Query(CliSession& session, DeviceFacts& facts, DeviceQueryOutcome& outcome)
{
    if (const auto status = session.Connect())
        return status;
    outcome = QueryDevice(facts, session.Documents(), session.Runner());
    if (outcome)
        return std::nullopt;
    if (!outcome.anyAnswer)
        return session.Fail(kExitNoDevice, "the device on " + session.PortName() + " does not answer");
    return session.Fail(kExitRefused,
        std::string("the device answered the ") + (outcome.settingsAnswered ? "state" : "settings") +
            " query with nothing");
}

} // namespace

std::optional<int> ReadDevice(CliSession& session, DeviceFacts& facts, DeviceQueryOutcome& outcome)
{
    if (const auto status = Query(session, facts, outcome))
        return status;
    // An answer that never ended (an endless or echoing device) is the device's fault, not
    // its identity; what did end is its first line, bounded.
    for (const IdentityRow& identity : kIdentityRows) {
        if (outcome.unendedIdentity == identity.command)
            return session.Fail(kExitRefused,
                "the device never ended its answer to " + std::string(identity.command) + " (the " +
                    std::string(identity.what) + ")");
    }
    for (std::string* field : {&facts.modemType, &facts.imei, &facts.modemRevision, &facts.imsi, &facts.phoneNumber})
        *field = IdentityText(*field);
    return std::nullopt;
}

std::optional<int> ReadDevice(CliSession& session, DeviceFacts& facts)
{
    DeviceQueryOutcome outcome;
    return ReadDevice(session, facts, outcome);
}

std::optional<int> ReadDevice(CliSession& session)
{
    DeviceFacts facts;
    DeviceQueryOutcome outcome;
    return Query(session, facts, outcome);
}

} // namespace tervane
