// settings get / settings set: values of the settings document by setting path, and the
// dashboard's Apply for values typed on the command line.

#include "CliDeviceQuery.h"
#include "CliRunner.h"
#include "CliSession.h"
#include "CommandText.h"
#include "RciDocuments.h"
#include "SetValues.h"
#include "SettingPath.h"
#include "SettingTexts.h"
#include "SubcommandHandlers.h"
#include "XmlText.h"

#include <ostream>
#include <set>

namespace tervane {

namespace {

// The failure line names why the reply was refused when it did not parse.
std::string WithParseError(std::string message, const RciDocuments& documents)
{
    if (!documents.SettingsParseError().empty())
        message += ": " + documents.SettingsParseError();
    return message;
}

std::optional<int> CheckSettingsRead(CliSession& session)
{
    if (session.Documents().SettingsRoot() == nullptr)
        return session.Fail(kExitRefused, WithParseError("the device's settings could not be read", session.Documents()));
    return std::nullopt;
}

} // namespace

int RunSettingsGet(CliSession& session, const Operands& operands)
{
    for (const auto& path : operands) {
        if (path.empty() || path.size() > kMaxSettingPathLength)
            return session.UsageFailure("'" + path + "' is not a setting path", "settings get");
    }
    if (const auto status = ReadDevice(session))
        return *status;
    if (const auto status = CheckSettingsRead(session))
        return *status;

    const xmlNodePtr root = session.Documents().SettingsRoot();
    std::vector<std::pair<std::string, std::string>> values;
    JsonValue settings = JsonValue::Object();
    int status = kExitDone;
    if (operands.empty()) {
        values = ListSettings(root);
    } else {
        for (const auto& path : operands) {
            if (const auto value = SettingText(root, path)) {
                values.emplace_back(path, *value);
                settings.Set(path, *value);
            } else {
                status = session.Fail(kExitUsage, "the device has no setting " + path);
                settings.Set(path, JsonValue());
            }
        }
    }

    // Asked paths are in the document already, in the order asked and a repeat once; a
    // listing names each path once.
    if (operands.empty())
        settings.Reserve(values.size());
    for (auto& [path, value] : values) {
        session.Out() << path << "=" << EscapeForDisplay(value) << "\n";
        if (operands.empty())
            settings.AddNew(std::move(path), std::move(value));
    }
    session.Result().Set("settings", std::move(settings));
    return status;
}

int RunSettingsSet(CliSession& session, const Operands& operands)
{
    std::vector<PathValue> wanted;
    // The device takes a path in any A to Z case: two values for one setting cannot both be kept.
    std::set<std::string> given;
    for (const auto& operand : operands) {
        const auto assignment = SplitAssignment(operand);
        if (!assignment || assignment->path.size() > kMaxSettingPathLength)
            return session.UsageFailure("'" + operand + "' is not PATH=VALUE", "settings set");
        if (!given.insert(SettingPathKey(assignment->path)).second)
            return session.UsageFailure("'" + assignment->path + "' is given twice", "settings set");
        wanted.push_back({assignment->path, assignment->value});
    }

    if (const auto status = ReadDevice(session))
        return *status;
    if (const auto status = CheckSettingsRead(session))
        return *status;
    RciDocuments& documents = session.Documents();
    // Every path is checked before anything is sent: a typing error must not apply the rest.
    for (const auto& value : wanted) {
        if (ResolvePath(documents.SettingsRoot(), value.path) == nullptr)
            return session.Fail(kExitUsage, "the device has no setting " + value.path + "; nothing was sent");
    }

    const SetValuesResult result = SetValues(wanted, SettingsDocumentKind::Settings, documents, session.Runner());
    if (!result.sent)
        return session.Fail(kExitRefused, "the settings could not be sent to the device");

    int status = kExitDone;
    if (result.refused)
        status = session.Fail(kExitRefused, "the device refused the new settings: " + *result.refused);
    // A failed read-back leaves the document as edited: it would show the typed values as kept.
    if (!result.readBack)
        return session.Fail(kExitRefused,
                            WithParseError("the device's settings could not be read back; what it kept is unknown", documents));

    // "settings" has the shape "settings get" gives (path -> value now held, null when gone);
    // "requests" says for each PATH=VALUE what was asked and what was kept.
    JsonValue heldValues = JsonValue::Object();
    JsonValue results = JsonValue::Array();
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const PathValueOutcome& outcome = result.values[i];
        const std::string& path = wanted[i].path;
        JsonValue row = JsonValue::Object();
        row.Set("path", path);
        row.Set("requested", wanted[i].value);
        if (!outcome.held) {
            row.Set("kept", JsonValue());
            row.Set("asRequested", false);
            heldValues.Set(path, JsonValue());
            session.Out() << path << " is gone\n";
            status = session.Fail(kExitRefused, "the device no longer has the setting " + path);
        } else {
            const std::string& held = *outcome.held;
            row.Set("kept", held);
            row.Set("asRequested", outcome.kept);
            heldValues.Set(path, held);
            session.Out() << path << "=" << EscapeForDisplay(held) << "\n";
            if (!outcome.kept) {
                status = session.Fail(kExitRefused,
                    "the device did not keep " + path + "=" + EscapeForDisplay(wanted[i].value) + "; it holds '" +
                        EscapeForDisplay(held) + "'");
            }
        }
        results.Append(std::move(row));
    }
    session.Result().Set("settings", std::move(heldValues));
    session.Result().Set("requests", std::move(results));
    return status;
}

} // namespace tervane
