// settings get / settings set: values of the settings document by setting path, and the
// dashboard's Apply for values typed on the command line.

#include "ApplySettings.h"
#include "BindingTable.h"
#include "CliDeviceQuery.h"
#include "CliRunner.h"
#include "CliSession.h"
#include "CommandText.h"
#include "RciDocuments.h"
#include "RciErrors.h"
#include "RciRequests.h"
#include "SettingPath.h"
#include "SettingTexts.h"
#include "SubcommandHandlers.h"
#include "XmlText.h"

#include <ostream>

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
    std::vector<std::string> paths;
    std::vector<std::string> values;
    for (const auto& operand : operands) {
        const auto assignment = SplitAssignment(operand);
        if (!assignment || assignment->path.size() > kMaxSettingPathLength)
            return session.UsageFailure("'" + operand + "' is not PATH=VALUE", "settings set");
        paths.push_back(assignment->path);
        values.push_back(assignment->value);
    }

    if (const auto status = ReadDevice(session))
        return *status;
    if (const auto status = CheckSettingsRead(session))
        return *status;
    RciDocuments& documents = session.Documents();
    // Every path is checked before anything is sent: a typing error must not apply the rest.
    for (const auto& path : paths) {
        if (ResolvePath(documents.SettingsRoot(), path) == nullptr)
            return session.Fail(kExitUsage, "the device has no setting " + path + "; nothing was sent");
    }

    const BindingTable table = TextBindings(paths);
    FieldStore typed;
    for (std::size_t i = 0; i < values.size(); ++i)
        typed.SetText(static_cast<FieldId>(i + 1), values[i]);
    StoreBindings(table, typed, documents.SettingsRoot());

    CliRunner& runner = session.Runner();
    if (!OnApplySettings(documents, runner))
        return session.Fail(kExitRefused, "the settings could not be sent to the device");

    int status = kExitDone;
    for (const KeptRow& kept : runner.LastBatch()) {
        const USBCommand& row = kept.row;
        if (row.command.find(kQuerySettingsRequest) != std::string::npos)
            continue;
        if (const auto refusal = RowRefusal(row)) {
            status = session.Fail(kExitRefused, "the device refused the new settings: " + *refusal);
            break;
        }
    }
    // A failed read-back leaves the document as edited: it would show the typed values as kept.
    const KeptRow* readBack = runner.LastRowWith(kQuerySettingsRequest);
    if (readBack == nullptr || readBack->row.failed || documents.SettingsRoot() == nullptr)
        return session.Fail(kExitRefused,
                            WithParseError("the device's settings could not be read back; what it kept is unknown", documents));

    FieldStore kept;
    LoadBindings([](int32_t) {}, table, kept, documents.SettingsRoot());

    JsonValue results = JsonValue::Array();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const FieldId id = static_cast<FieldId>(i + 1);
        const std::string wanted = ToXmlCharData(values[i]);
        JsonValue row = JsonValue::Object();
        row.Set("path", paths[i]);
        row.Set("requested", values[i]);
        if (!kept.Contains(id)) {
            row.Set("kept", JsonValue());
            row.Set("asRequested", false);
            session.Out() << paths[i] << " is gone\n";
            status = session.Fail(kExitRefused, "the device no longer has the setting " + paths[i]);
        } else {
            const std::string& value = kept.Text(id);
            row.Set("kept", value);
            row.Set("asRequested", value == wanted);
            session.Out() << paths[i] << "=" << EscapeForDisplay(value) << "\n";
            if (value != wanted) {
                status = session.Fail(kExitRefused, "the device did not keep " + paths[i] + "=" + EscapeForDisplay(values[i])
                        + "; it holds '" + EscapeForDisplay(value) + "'");
            }
        }
        results.Append(std::move(row));
    }
    session.Result().Set("settings", std::move(results));
    return status;
}

} // namespace tervane
