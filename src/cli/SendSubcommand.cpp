// send: commands typed on the command line, sent as they are.

#include "CliRunner.h"
#include "CliSession.h"
#include "CommandText.h"
#include "SubcommandHandlers.h"

#include <ostream>

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

    int status = kExitDone;
    JsonValue commands = JsonValue::Array();
    for (const auto& record : batch) {
        session.Out() << (record.failed ? "[failed] " : "[ok] ") << EscapeForDisplay(record.command) << "\n";
        if (!record.response.empty())
            session.Out() << EscapeLinesForDisplay(record.response) << "\n";
        JsonValue row = JsonValue::Object();
        row.Set("command", record.command);
        row.Set("failed", record.failed != 0);
        row.Set("response", record.response);
        commands.Append(std::move(row));
        if (record.failed) {
            session.Fail(kExitRefused, "the command " + EscapeForDisplay(record.command) + " failed");
            status = kExitRefused;
        }
    }
    session.Result().Set("commands", std::move(commands));
    return status;
}

} // namespace tervane
