// python ls / put / get / rm: the Python files page's procedures, acting on names given on
// the command line instead of ticked list items.

#include "CliQuestions.h"
#include "CliRunner.h"
#include "CliSession.h"
#include "CommandText.h"
#include "LocalFiles.h"
#include "ProcedureSteps.h"
#include "PythonFiles.h"
#include "RciDocuments.h"
#include "SubcommandHandlers.h"
#include "UploadSource.h"

#include <algorithm>
#include <iomanip>
#include <ostream>

namespace tervane {

namespace {

JsonValue FilesJson(const PythonFileList& files)
{
    JsonValue array = JsonValue::Array();
    for (const auto& entry : files) {
        JsonValue file = JsonValue::Object();
        file.Set("name", entry.name);
        file.Set("size", ItemForEntry(entry).size);
        array.Append(std::move(file));
    }
    return array;
}

void PrintFiles(std::ostream& out, const PythonFileList& files)
{
    for (const auto& entry : files)
        out << std::right << std::setw(10) << EscapeForDisplay(entry.size) << "  " << EscapeForDisplay(entry.name)
            << "\n";
}

const PythonFileEntry* FindEntry(const PythonFileList& files, const std::string& name)
{
    for (const auto& entry : files) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

// The device's Python files; none, and the session failed, when the device did not list them.
std::optional<PythonFileList> DeviceFiles(CliSession& session)
{
    bool listed = false;
    PythonFileList files = ListPythonFiles(session.Runner(), &listed);
    if (!listed) {
        session.Fail(kExitRefused, "the device did not list its Python files");
        return std::nullopt;
    }
    return files;
}

std::optional<int> CheckDeviceName(CliSession& session, const std::string& name, std::string_view subcommand)
{
    if (!IsSafeListedFileName(name))
        return session.UsageFailure("'" + name + "' cannot be a file name on the device", subcommand);
    return std::nullopt;
}

} // namespace

int RunPythonLs(CliSession& session, const Operands& /*operands*/)
{
    if (const auto status = session.Connect())
        return *status;
    const std::optional<PythonFileList> files = DeviceFiles(session);
    if (!files)
        return kExitRefused;
    PrintFiles(session.Out(), *files);
    session.Result().Set("files", FilesJson(*files));
    return kExitDone;
}

int RunPythonPut(CliSession& session, const Operands& operands)
{
    const std::string& path = operands[0];
    if (const std::string why = WhyUnreadable(path); !why.empty())
        return session.UsageFailure(why, "python put");
    const UploadSource source(path, false, false);
    if (const auto refusal = DestinationRefusal(source.CheckDestination()); !refusal.empty())
        return session.UsageFailure("the file's name cannot be used on the device: " + std::string(refusal),
            "python put");
    if (const auto status = session.Connect())
        return *status;

    CliQuestions questions(session, session.Options().retries);
    const PythonUploadResult result = UploadPythonFile(path, session.Runner(), questions);
    JsonValue& json = session.Result();
    json.Set("name", source.FileName());
    json.Set("destination", source.Destination());
    json.Set("uploads", result.uploads);
    json.Set("lastUpload", UploadStatusName(result.lastUpload.status));
    json.Set("lastUploadMessage", UploadStatusText(result.lastUpload.status));
    json.Set("verified", result.outcome == PythonUploadOutcome::Verified);
    if (result.listRefreshed)
        json.Set("files", FilesJson(result.files));

    switch (result.outcome) {
    case PythonUploadOutcome::NoFile:
    case PythonUploadOutcome::NameRefused:
        return kExitUsage;
    case PythonUploadOutcome::Cancelled:
        return kExitRefused;
    case PythonUploadOutcome::Verified:
        break;
    }
    session.Out() << "Uploaded " << source.FileName() << " to " << source.Destination() << " (" << result.lastUpload.size
                  << " bytes), digest verified.\n";
    return kExitDone;
}

int RunPythonGet(CliSession& session, const Operands& operands)
{
    const std::string& name = operands[0];
    if (const auto status = CheckDeviceName(session, name, "python get"))
        return *status;
    const std::string target = SaveLocation(operands.size() > 1 ? operands[1] : std::string(), name);
    if (const std::string why = WhyUnwritable(target); !why.empty())
        return session.UsageFailure(why, "python get");
    if (const auto status = session.Connect())
        return *status;

    // The listed size sizes the receive room for the reply that carries the file.
    const std::optional<PythonFileList> files = DeviceFiles(session);
    if (!files)
        return kExitRefused;
    const PythonFileEntry* entry = FindEntry(*files, name);
    if (entry == nullptr)
        return session.Fail(kExitRefused, "the device has no Python file " + name);

    CliQuestions questions(session, session.Options().retries);
    questions.SetSaveTarget(target);
    const std::vector<PythonDownloadResult> results =
        DownloadPythonFiles({ItemForEntry(*entry)}, session.Runner(), questions);
    const PythonDownloadResult& result = results.front();

    JsonValue& json = session.Result();
    json.Set("name", name);
    // What was written, not what the listing claimed; nothing written is no size.
    json.Set("size", result.outcome == PythonDownloadOutcome::Saved ? JsonValue(result.savedBytes) : JsonValue());
    json.Set("savedPath", result.savedPath.empty() ? JsonValue() : JsonValue(result.savedPath));
    json.Set("unverifiedPath", result.unverifiedPath.empty() ? JsonValue() : JsonValue(result.unverifiedPath));
    json.Set("exchanges", result.exchanges);
    json.Set("verified", result.outcome == PythonDownloadOutcome::Saved);
    switch (result.outcome) {
    case PythonDownloadOutcome::Saved:
        session.Out() << "Downloaded " << name << " to " << result.savedPath << " (" << result.savedBytes
                      << " bytes), digest verified.\n";
        return kExitDone;
    case PythonDownloadOutcome::NameRefused:
        return kExitUsage;
    case PythonDownloadOutcome::NotSaved:
        return session.Fail(kExitRefused, "nowhere to save " + name);
    case PythonDownloadOutcome::Cancelled:
        break;
    }
    if (!result.unverifiedPath.empty())
        session.Out() << target << " was left as it was; the download that does not match the device's digest is in "
                      << result.unverifiedPath << ".\n";
    return kExitRefused;
}

int RunPythonRm(CliSession& session, const Operands& operands)
{
    for (const auto& name : operands) {
        if (const auto status = CheckDeviceName(session, name, "python rm"))
            return *status;
    }
    if (const auto status = session.Connect())
        return *status;

    // Some devices answer the removal of a file they do not hold as done: what is not
    // listed is not asked for.
    const std::optional<PythonFileList> before = DeviceFiles(session);
    if (!before)
        return kExitRefused;
    for (const auto& name : operands) {
        if (FindEntry(*before, name) == nullptr)
            return session.Fail(kExitRefused, "the device has no Python file " + name);
    }

    std::vector<PythonFileItem> items;
    for (const auto& name : operands)
        items.push_back(ItemForEntry({name, {}}));
    CliQuestions questions(session, session.Options().retries);
    const PythonDeleteResult result = DeletePythonFiles(items, session.Runner(), questions);

    int status = result.refused.empty() ? kExitDone : kExitUsage;
    JsonValue deleted = JsonValue::Array();
    for (const auto& name : operands) {
        // A name given twice was sent twice: its last removal says what became of it.
        const auto sent = std::find_if(result.sent.rbegin(), result.sent.rend(),
            [&name](const PythonDeletion& deletion) { return deletion.name == name; });
        if (sent == result.sent.rend())
            continue;
        if (const auto& refusal = sent->refused)
            status = session.Fail(kExitRefused, "the device did not delete " + name + ": " + *refusal);
        else if (FindEntry(result.files, name) != nullptr)
            status = session.Fail(kExitRefused, "the device still lists " + name + " after deleting it");
        else
            deleted.Append(name);
    }
    if (!result.listed)
        status = session.Fail(kExitRefused, "the device did not list its Python files after the deletion");
    else
        PrintFiles(session.Out(), result.files);
    session.Result().Set("deleted", std::move(deleted));
    session.Result().Set("files", result.listed ? FilesJson(result.files) : JsonValue());
    return status;
}

} // namespace tervane
