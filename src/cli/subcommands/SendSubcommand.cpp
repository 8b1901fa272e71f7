// send: commands typed on the command line, sent as they are.

#include "CliRunner.h"
#include "CliSession.h"
#include "CommandText.h"
#include "SubcommandHandlers.h"

#include <ostream>
#include <string>

namespace tervane {

int RunSend(CliSession& session, const Operands& operands)
{
    CommandBatch batch;
    for (const auto& typed : operands) {
        const auto bytes = UnescapeCommand(typed);
        if (!bytes)
            return session.UsageFailure("malformed escape in '" + typed + "'", "send");
        if (bytes->empty())
            return session.UsageFailure("an empty command would end the batch", "send");
        USBCommand record;
        record.command = *bytes;
        record.timeout = session.Options().timeoutMs;
        batch.AddTail(record);
    }

    if (const auto status = session.Connect())
        return *status;
    session.Runner().RunBatch(batch);

    // A command that got no final result code within its time-out did not go through
    // either; a device that sent nothing back at all is no device.
    bool asked = false;
    bool responded = false;
    for (const auto& record : batch) {
        asked = asked || record.readEnd != ReadEnd::Sleep;
        responded = responded || DeviceResponded(record);
    }
    const bool noDevice = asked && !responded;

    int status = kExitDone;
    JsonValue commands = JsonValue::Array();
    for (const auto& record : batch) {
        const bool unanswered = !record.failed && (record.readEnd == ReadEnd::Nothing || record.readEnd == ReadEnd::Unended);
        const bool failed = record.failed || unanswered;
        session.Out() << (failed ? "[failed] " : "[ok] ") << EscapeForDisplay(record.command) << "\n";
        if (!record.response.empty())
            session.Out() << EscapeLinesForDisplay(record.response) << "\n";
        JsonValue row = JsonValue::Object();
        row.Set("command", record.command);
        row.Set("failed", failed);
        row.Set("answered", !unanswered && DeviceResponded(record));
        row.Set("response", record.response);
        commands.Append(std::move(row));
        if (!failed || noDevice)
            continue;
        const std::string shown = EscapeForDisplay(record.command);
        if (unanswered && record.readEnd == ReadEnd::Nothing)
            session.Fail(kExitRefused, "no answer to " + shown + " within " + std::to_string(record.timeout) + " ms");
        else if (unanswered)
            session.Fail(kExitRefused, "the answer to " + shown + " did not end with OK or ERROR within "
                    + std::to_string(record.timeout) + " ms");
        else
            session.Fail(kExitRefused, "the command " + shown + " failed");
        status = kExitRefused;
    }
    session.Result().Set("commands", std::move(commands));
    if (noDevice)
        return session.Fail(kExitNoDevice, "the device on " + session.PortName() + " does not answer");
    return status;
}

} // namespace tervane
