#include "ProfileApply.h"

#include "ApplySettings.h"
#include "BindingTable.h"
#include "CommandBatch.h"
#include "DeviceRunner.h"
#include "FirmwareUpdate.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "PythonFiles.h"
#include "RadioFirmwareUpdate.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "SettingPath.h"
#include "TransferVerification.h"
#include "XmlText.h"

#include <algorithm>
#include <filesystem>

namespace tervane {

namespace {

// Passes the work on and keeps a copy of the last batch, so that a step the procedure
// does not report (the read-back of an apply) can be told from one that went through.
class ObservedRunner : public DeviceRunner {
public:
    explicit ObservedRunner(DeviceRunner& runner)
        : m_runner(runner)
    {
    }
    void RunBatch(CommandBatch& batch) override
    {
        m_runner.RunBatch(batch);
        m_last = batch;
    }
    UploadResult Upload(const UploadSource& source) override { return m_runner.Upload(source); }
    SerialLink& Link() override { return m_runner.Link(); }

    // The last row of the last batch whose command holds `text` and that has an answer.
    bool Answered(std::string_view text) const
    {
        const USBCommand* found = nullptr;
        for (const auto& row : m_last) {
            if (row.command.find(text) != std::string::npos)
                found = &row;
        }
        return found != nullptr && !found->failed && !CutReply(found->response).empty();
    }

private:
    DeviceRunner& m_runner;
    CommandBatch m_last;
};

std::string PlaceText(const Profile& profile, const ProfilePlace& place)
{
    return profile.path + ":" + std::to_string(place.line) + ": " + place.key + ": ";
}

// Compares wanted values with a document; a path the document lacks is a problem.
void PlanValues(const Profile& profile, const std::vector<ProfileValue>& values, xmlNodePtr root,
    ProfileChangeKind kind, ProfilePlan& plan)
{
    for (const auto& value : values) {
        const auto current = SettingText(root, value.path);
        if (!current)
            plan.problems.push_back(PlaceText(profile, value.place) + "the device has no setting " + value.path);
        else if (*current != value.value)
            plan.changes.push_back({kind, value.path, *current, value.value});
    }
}

void PlanPython(const Profile& profile, DeviceRunner& runner, ProfilePlan& plan)
{
    if (profile.pythonPresent.empty() && profile.pythonAbsent.empty())
        return;
    bool gotList = false;
    const PythonFileList files = ListPythonFiles(runner, &gotList);
    if (!gotList) {
        plan.failures.push_back("the device did not list its Python files");
        return;
    }
    const auto listed = [&files](const std::string& name) {
        return std::ranges::any_of(files, [&name](const PythonFileEntry& entry) { return entry.name == name; });
    };

    // One digest query per listed file, all in one batch.
    CommandBatch digests;
    std::vector<const ProfilePythonFile*> asked;
    for (const auto& file : profile.pythonPresent) {
        if (!listed(file.name))
            continue;
        std::error_code ignored;
        const auto size = static_cast<long long>(std::filesystem::file_size(file.localPath, ignored));
        digests.AddTail(CommandRow(PythonDigestQuery(file.name), "Comparing " + file.name + " with the device...",
            DownloadDigestTimeout(size)));
        asked.push_back(&file);
    }
    if (!asked.empty())
        runner.RunBatch(digests);

    std::size_t next = 0;
    for (const auto& file : profile.pythonPresent) {
        const std::string localDigest = FileDigestHex(file.localPath).value_or("");
        if (next < asked.size() && asked[next] == &file) {
            const USBCommand& row = *digests.GetAt(static_cast<int>(next));
            ++next;
            if (!DigestsMatch(localDigest, row))
                plan.changes.push_back({ProfileChangeKind::PythonUpload, file.name,
                    row.failed ? std::string("unreadable") : DeviceDigestText(row.response), localDigest});
        } else {
            plan.changes.push_back({ProfileChangeKind::PythonUpload, file.name, "absent", localDigest});
        }
    }
    for (const auto& file : profile.pythonAbsent) {
        if (listed(file.value))
            plan.changes.push_back({ProfileChangeKind::PythonDelete, file.value, "present", "absent"});
    }
}

bool Has(const ProfilePlan& plan, ProfileChangeKind kind)
{
    return std::ranges::any_of(plan.changes, [kind](const ProfileChange& change) { return change.kind == kind; });
}

// Stores the values, applies the document, and checks every value against what was read back.
void ApplyValues(const std::vector<ProfileValue>& values, bool radio, RciDocuments& documents, DeviceRunner& device,
    ProfileApplyResult& result)
{
    ObservedRunner runner(device);
    std::vector<std::string> paths;
    FieldStore fields;
    for (const auto& value : values) {
        paths.push_back(value.path);
        fields.SetText(static_cast<FieldId>(paths.size()), value.value);
    }
    const BindingTable table = TextBindings(paths);
    const std::string_view what = radio ? "radio settings" : "settings";
    StoreBindings(table, fields, radio ? documents.RadioSettingsRoot() : documents.SettingsRoot());
    const bool sent = radio ? OnApplyRadioSettings(documents, runner) : OnApplySettings(documents, runner);
    if (!sent || !runner.Answered(radio ? kQueryRadioSettingsRequest : kQuerySettingsRequest)) {
        // The document still holds the values as stored, so it proves nothing.
        result.failures.push_back("the device's " + std::string(what) + " could not be read back; what it kept is unknown");
        return;
    }
    const xmlNodePtr root = radio ? documents.RadioSettingsRoot() : documents.SettingsRoot();
    for (const auto& value : values) {
        const auto kept = SettingText(root, value.path);
        // A password or key is not shown in a failure either.
        if (!kept)
            result.failures.push_back(value.path + ": the device no longer has this setting");
        else if (*kept != value.value) {
            const std::string wanted = ShownSettingValue(value.path, value.value);
            const std::string held = ShownSettingValue(value.path, *kept);
            result.failures.push_back(
                value.path + ": the device did not keep '" + wanted + "'; it holds '" + held + "'");
        }
    }
}

void UpdateFirmwareTo(const ProfileImage& image, RciDocuments& documents, DeviceRunner& runner,
    ProcedureQuestions& questions, ProfileApplyResult& result)
{
    const FirmwareUpdateResult update = UpdateFirmware(image.imagePath, documents, runner, questions);
    if (update.outcome != FirmwareUpdateOutcome::Installed) {
        result.failures.push_back("firmware: " + image.imagePath + " was not installed");
        return;
    }
    result.firmwareVersion = update.firmwareVersion;
    if (update.firmwareVersion != image.version)
        result.failures.push_back("firmware: the device reports " + update.firmwareVersion + " after the install, not "
            + image.version);
}

void UpdateRadioFirmwareTo(const ProfileImage& image, RciDocuments& documents, DeviceRunner& runner,
    ProcedureQuestions& questions, ProfileApplyResult& result)
{
    const RadioFirmwareUpdateResult update = UpdateRadioFirmware(image.imagePath, documents, runner, questions);
    if (update.outcome != RadioFirmwareUpdateOutcome::Flashed) {
        result.failures.push_back("radio-firmware: " + image.imagePath + " was not flashed");
        return;
    }
    result.radioFirmwareVersion = update.radioFirmwareVersion;
    if (update.radioFirmwareVersion != image.version)
        result.failures.push_back("radio-firmware: the device reports " + update.radioFirmwareVersion
            + " after the update, not " + image.version);
}

} // namespace

ProfilePlan PlanProfile(const Profile& profile, const RciDocuments& documents, DeviceRunner& runner)
{
    ProfilePlan plan;
    plan.firmwareVersion = SettingText(documents.StateRoot(), kFirmwareVersionPath).value_or("");
    plan.radioFirmwareVersion = SettingText(documents.StateRoot(), kRadioFirmwareVersionPath).value_or("");

    PlanValues(profile, profile.settings, documents.SettingsRoot(), ProfileChangeKind::Setting, plan);
    if (!profile.radio.empty() && (!documents.RadioPageFlag() || documents.RadioSettingsRoot() == nullptr)) {
        plan.problems.push_back(PlaceText(profile, profile.radio.front().place) + "the device has no Ravlo radio");
    } else {
        PlanValues(profile, profile.radio, documents.RadioSettingsRoot(), ProfileChangeKind::RadioSetting, plan);
    }
    const auto noImage = [&](const ProfileImage& image, const std::string& reported) {
        plan.problems.push_back(PlaceText(profile, image.place) + "the device reports " + reported +
            "; the profile wants " + image.version + " and names no image");
    };
    if (profile.firmware && profile.firmware->version != plan.firmwareVersion) {
        if (profile.firmware->imagePath.empty())
            noImage(*profile.firmware, plan.firmwareVersion);
        else
            plan.changes.push_back(
                {ProfileChangeKind::Firmware, "firmware", plan.firmwareVersion, profile.firmware->version});
    }
    if (profile.radioFirmware && profile.radioFirmware->version != plan.radioFirmwareVersion) {
        if (documents.RadioPageFlag() && profile.radioFirmware->imagePath.empty())
            noImage(*profile.radioFirmware, plan.radioFirmwareVersion);
        else if (!documents.RadioPageFlag())
            plan.problems.push_back(PlaceText(profile, profile.radioFirmware->place) + "the device has no Ravlo radio");
        else
            plan.changes.push_back({ProfileChangeKind::RadioFirmware, "radio-firmware", plan.radioFirmwareVersion,
                profile.radioFirmware->version});
    }
    // The file list is read only for a profile the device can take.
    if (plan.problems.empty())
        PlanPython(profile, runner, plan);
    return plan;
}

ProfileApplyResult ApplyProfilePlan(const Profile& profile, const ProfilePlan& plan, RciDocuments& documents,
    DeviceRunner& runner, ProcedureQuestions& questions)
{
    ProfileApplyResult result;
    result.firmwareVersion = plan.firmwareVersion;
    result.radioFirmwareVersion = plan.radioFirmwareVersion;
    if (!plan.problems.empty() || !plan.failures.empty())
        return result;

    // The firmware first: it restarts the device, and the settings go to the firmware that stays.
    if (Has(plan, ProfileChangeKind::Firmware))
        UpdateFirmwareTo(*profile.firmware, documents, runner, questions, result);
    if (Has(plan, ProfileChangeKind::RadioFirmware))
        UpdateRadioFirmwareTo(*profile.radioFirmware, documents, runner, questions, result);
    // Every wanted value goes into the one apply, and every one is checked after it.
    if (Has(plan, ProfileChangeKind::Setting))
        ApplyValues(profile.settings, false, documents, runner, result);
    if (Has(plan, ProfileChangeKind::RadioSetting))
        ApplyValues(profile.radio, true, documents, runner, result);

    std::vector<PythonFileItem> deletions;
    for (const auto& change : plan.changes) {
        if (change.kind == ProfileChangeKind::PythonDelete)
            deletions.push_back(ItemForEntry({change.path, {}}));
    }
    if (!deletions.empty()) {
        const PythonDeleteResult deleted = DeletePythonFiles(deletions, runner, questions);
        for (const auto& item : deletions) {
            const bool stays = std::ranges::any_of(deleted.files,
                [&item](const PythonFileEntry& entry) { return entry.name == item.name; });
            if (!deleted.listed)
                result.failures.push_back(item.name + ": the device did not list its Python files after deleting it");
            else if (stays)
                result.failures.push_back(item.name + ": the device still lists it after the deletion");
        }
    }
    for (const auto& file : profile.pythonPresent) {
        const bool wanted = std::ranges::any_of(plan.changes, [&file](const ProfileChange& change) {
            return change.kind == ProfileChangeKind::PythonUpload && change.path == file.name;
        });
        if (!wanted)
            continue;
        const PythonUploadResult upload = UploadPythonFile(file.localPath, runner, questions);
        if (upload.outcome != PythonUploadOutcome::Verified)
            result.failures.push_back(file.name + ": the device's copy does not match " + file.localPath);
    }
    result.applied = plan.changes;
    return result;
}

} // namespace tervane
