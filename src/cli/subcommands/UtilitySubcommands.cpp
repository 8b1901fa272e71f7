// backup / restore / reboot / factory-reset: the Utilities page's procedures.

#include "CliDeviceQuery.h"
#include "CliQuestions.h"
#include "CliRunner.h"
#include "CliSession.h"
#include "ConfigBackup.h"
#include "DeviceReset.h"
#include "LocalFiles.h"
#include "SubcommandHandlers.h"

#include <ostream>

namespace tervane {

int RunBackup(CliSession& session, const Operands& operands)
{
    const std::string target = SaveLocation(operands[0], "backup.cfg");
    if (const std::string why = WhyUnwritable(target); !why.empty())
        return session.UsageFailure(why, "backup");
    if (const auto status = ReadDevice(session))
        return *status;

    CliQuestions questions(session, 0);
    questions.SetSaveTarget(target);
    const BackupResult result = BackupConfig(session.Documents(), questions);
    switch (result.outcome) {
    case BackupOutcome::Written:
        break;
    case BackupOutcome::NoSettings:
        return kExitRefused;
    case BackupOutcome::NotChosen:
        return session.Fail(kExitUsage, "nowhere to write the backup");
    case BackupOutcome::WriteFailed:
        return kExitRefused;
    }
    session.Out() << "Saved the device's settings to " << result.path << ".\n";
    session.Result().Set("savedPath", result.path);
    return kExitDone;
}

int RunRestore(CliSession& session, const Operands& operands)
{
    const std::string& path = operands[0];
    if (const std::string why = WhyUnreadable(path); !why.empty())
        return session.UsageFailure(why, "restore");
    if (const auto status = session.Connect())
        return *status;

    CliQuestions questions(session, 0);
    const RestoreResult result = RestoreConfig(path, session.Documents(), session.Runner(), questions);
    switch (result.outcome) {
    case RestoreOutcome::NoFile:
    case RestoreOutcome::FileRejected:
        // Nothing was sent: the file is at fault, and the message said why.
        return kExitUsage;
    case RestoreOutcome::Sent:
        break;
    }

    int status = kExitDone;
    const bool refused = result.refused.has_value();
    if (refused)
        status = session.Fail(kExitRefused, "the device refused the settings in " + path + ": " + *result.refused);
    if (!result.settingsRead)
        status = session.Fail(kExitRefused, "the device's settings could not be read back after its restart");
    session.Result().Set("sent", !refused);
    session.Result().Set("settingsRead", result.settingsRead);
    if (status == kExitDone)
        session.Out() << "Restored the settings from " << path << "; the device restarted.\n";
    return status;
}

int RunReboot(CliSession& session, const Operands& /*operands*/)
{
    if (const auto status = session.Connect())
        return *status;
    if (!RebootDevice(session.Runner()))
        return session.Fail(kExitRefused, "the device did not take the reboot command");
    session.Out() << "The device is restarting; it takes about 10 seconds.\n";
    return kExitDone;
}

int RunFactoryReset(CliSession& session, const Operands& /*operands*/)
{
    const bool ask = !session.Options().yes;
    if (ask && !session.Environment().inputIsTerminal)
        return session.UsageFailure("factory-reset asks for confirmation on a terminal; give --yes to skip it",
            "factory-reset");
    if (const auto status = session.Connect())
        return *status;
    if (ask
        && !session.Confirm("Restore the factory defaults of the Skellin Q7 on " + session.PortName()
            + "? Every current setting is cleared and the device restarts.")) {
        return session.Fail(kExitUsage, "factory-reset not confirmed; nothing was sent");
    }

    CliQuestions questions(session, 0);
    const FactoryDefaultsResult result = RestoreDefaults(session.Documents(), session.Runner(), questions);
    const std::optional<std::string>& refusal = result.refused;
    JsonValue& json = session.Result();
    json.Set("accepted", !refusal);
    json.Set("settingsRead", result.settingsRead);
    json.Set("stateRead", result.stateRead);
    if (refusal)
        return session.Fail(kExitRefused, "the device refused to restore its factory defaults: " + *refusal);
    int status = kExitDone;
    if (!result.settingsRead)
        status = session.Fail(kExitRefused, "the device's settings could not be read back after the factory reset");
    if (!result.stateRead)
        status = session.Fail(kExitRefused, "the device's state could not be read back after the factory reset");
    if (status == kExitDone)
        session.Out() << "Restored the factory defaults; the device restarted.\n";
    return status;
}

} // namespace tervane
