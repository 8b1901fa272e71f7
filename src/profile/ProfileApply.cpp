#include "ProfileApply.h"

#include "CommandBatch.h"
#include "DeviceRunner.h"
#include "FirmwareUpdate.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "PythonFiles.h"
#include "RadioFirmwareUpdate.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "SetValues.h"
#include "SettingPath.h"
#include "TransferVerification.h"
#include "XmlText.h"

#include <algorithm>
#include <filesystem>

namespace tervane {

namespace {

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

// The device's words for a refusal, with a secret value it may repeat hidden.
std::string RefusalText(std::string_view path, const std::string& wanted, std::string text)
{
    if (!IsSecretPath(path) || wanted.empty())
        return text;
    for (std::size_t at = text.find(wanted); at != std::string::npos; at = text.find(wanted, at + kHiddenValue.size()))
        text.replace(at, wanted.size(), kHiddenValue);
    return text;
}

// Stores the values, applies the document, and checks every value against what was read
// back. A planned change counts as made only where the read-back shows the device's value
// changed.
void ApplyValues(const std::vector<ProfileValue>& values, ProfileChangeKind kind, const ProfilePlan& plan,
    RciDocuments& documents, DeviceRunner& runner, ProfileApplyResult& result)
{
    const bool radio = kind == ProfileChangeKind::RadioSetting;
    std::vector<PathValue> wanted;
    wanted.reserve(values.size());
    for (const auto& value : values)
        wanted.push_back({value.path, value.value});
    const SetValuesResult set = SetValues(wanted,
        radio ? SettingsDocumentKind::RadioSettings : SettingsDocumentKind::Settings, documents, runner);
    if (!set.readBack) {
        // The document still holds the values as stored, so it proves nothing.
        const std::string_view what = radio ? "radio settings" : "settings";
        if (set.refused)
            result.failures.push_back("the device refused the new " + std::string(what) + ": " + *set.refused);
        result.failures.push_back("the device's " + std::string(what) + " could not be read back; what it kept is unknown");
        return;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const ProfileValue& value = values[i];
        const PathValueOutcome& outcome = set.values[i];
        // A password or key is not shown in a failure either.
        const std::string shownWanted = ShownSettingValue(value.path, value.value);
        if (!outcome.held) {
            result.failures.push_back(value.path + ": the device no longer has this setting");
        } else if (outcome.refused) {
            result.failures.push_back(value.path + ": the device refused '" + shownWanted +
                "': " + RefusalText(value.path, value.value, *outcome.refused) + "; it holds '" +
                ShownSettingValue(value.path, *outcome.held) + "'");
        } else if (!outcome.kept) {
            result.failures.push_back(value.path + ": the device did not keep '" + shownWanted + "'; it holds '" +
                ShownSettingValue(value.path, *outcome.held) + "'");
        }
    }
    for (const auto& change : plan.changes) {
        if (change.kind != kind)
            continue;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const auto& held = set.values[i].held;
            if (values[i].path == change.path && held && *held != change.before)
                result.applied.push_back({kind, change.path, change.before, *held});
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
        ApplyValues(profile.settings, ProfileChangeKind::Setting, plan, documents, runner, result);
    if (Has(plan, ProfileChangeKind::RadioSetting))
        ApplyValues(profile.radio, ProfileChangeKind::RadioSetting, plan, documents, runner, result);

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
    // The settings' changes are in already, each as the read-back shows it.
    for (const auto& change : plan.changes) {
        if (change.kind != ProfileChangeKind::Setting && change.kind != ProfileChangeKind::RadioSetting)
            result.applied.push_back(change);
    }
    return result;
}

} // namespace tervane
