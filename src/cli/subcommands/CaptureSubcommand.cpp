// capture: reads a gateway and writes the profile that makes another gateway look like it,
// with the gateway's Python files downloaded, verified, into a folder beside the profile.

#include "CliDeviceQuery.h"
#include "CliQuestions.h"
#include "CliRunner.h"
#include "CliSession.h"
#include "FileReplace.h"
#include "FirmwareUpdate.h"
#include "LocalFiles.h"
#include "ProcedureSteps.h"
#include "ProfileChanges.h"
#include "ProfileReader.h"
#include "PythonFiles.h"
#include "RadioFirmwareUpdate.h"
#include "RciDocuments.h"
#include "SettingPath.h"
#include "SettingTexts.h"
#include "SubcommandHandlers.h"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

namespace tervane {

namespace {

// A setting path without its "&index=1" choices and in lower case: how the device's paths
// are compared with the few that capture treats apart.
std::string PlainPath(std::string_view path)
{
    std::string plain;
    std::size_t at = 0;
    while (at <= path.size()) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        std::string_view step = path.substr(at, end - at);
        if (const auto amp = step.find('&'); amp != std::string_view::npos && step.substr(amp) == "&index=1")
            step = step.substr(0, amp);
        if (!plain.empty())
            plain.push_back('/');
        for (const char c : step)
            plain.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        at = end + 1;
    }
    return plain;
}

// Values that belong to one gateway alone: a profile made from one gateway must never give
// them to another.
bool IsIdentityPath(std::string_view path)
{
    const std::string plain = PlainPath(path);
    const std::string leaf = plain.substr(plain.rfind('/') == std::string::npos ? 0 : plain.rfind('/') + 1);
    static constexpr std::string_view kIdentity[] = {"imei", "iccid", "imsi", "deviceid", "device_id", "serialnumber",
        "serial_number", "macaddress", "mac_address", "mac", "ext_addr", "extended_address"};
    return std::ranges::find(kIdentity, leaf) != std::end(kIdentity);
}

bool IsAutoStartPath(std::string_view path)
{
    const std::string plain = PlainPath(path);
    return plain == kAutoStartStatePath || plain == kAutoStartCommandPath;
}

struct Captured {
    JsonValue settings = JsonValue::Object();
    JsonValue radio = JsonValue::Object();
    std::vector<std::string> leftOut;
};

// Setting values as "path: value" lines; secrets only when asked for, otherwise a comment
// saying which were left out.
void EmitValues(YAML::Emitter& out, const std::vector<std::pair<std::string, std::string>>& values, bool withSecrets,
    JsonValue& json, std::vector<std::string>& leftOut)
{
    out << YAML::BeginMap;
    for (const auto& [path, value] : values) {
        if (IsIdentityPath(path) || IsAutoStartPath(path))
            continue;
        if (IsSecretPath(path) && !withSecrets) {
            leftOut.push_back(path);
            continue;
        }
        out << YAML::Key << path << YAML::Value << YAML::DoubleQuoted << value;
        json.Set(path, ShownSettingValue(path, value));
    }
    out << YAML::EndMap;
}

// Where the Python files go: "golden.yaml" keeps them in "golden-python" beside it.
std::filesystem::path PythonFolder(const std::filesystem::path& profile)
{
    return profile.parent_path() / (profile.stem().string() + "-python");
}

} // namespace

int RunCapture(CliSession& session, const Operands& operands)
{
    const CliOptions& options = session.Options();
    const std::string& path = operands[0];
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, error)) && !options.force)
        return session.UsageFailure(path + " exists; capture --force replaces it", "capture");
    if (const std::string why = WhyUnwritable(path); !why.empty())
        return session.UsageFailure(why, "capture");
    for (const std::string* image : {&options.firmwareImage, &options.radioImage}) {
        if (!image->empty() && !CanOpenForReading(*image))
            return session.UsageFailure("cannot read " + *image, "capture");
    }

    if (const auto status = ReadDevice(session))
        return *status;
    RciDocuments& documents = session.Documents();
    if (documents.SettingsRoot() == nullptr)
        return session.Fail(kExitRefused, "the device's settings could not be read; nothing was written");
    const xmlNodePtr state = documents.StateRoot();
    const std::string firmware = SettingText(state, kFirmwareVersionPath).value_or("");
    const bool hasRadio = documents.RadioPageFlag() && documents.RadioSettingsRoot() != nullptr;
    const std::string radioFirmware = hasRadio ? SettingText(state, kRadioFirmwareVersionPath).value_or("") : "";

    bool listed = false;
    const PythonFileList files = ListPythonFiles(session.Runner(), &listed);
    if (!listed)
        return session.Fail(kExitRefused, "the device did not list its Python files; nothing was written");

    // The files first: a profile is written only once every file it lists is here, verified.
    const std::filesystem::path profilePath(path);
    const std::filesystem::path folder = PythonFolder(profilePath);
    std::vector<std::string> present;
    JsonValue pythonFiles = JsonValue::Array();
    if (!files.empty()) {
        std::filesystem::create_directories(folder, error);
        if (error)
            return session.Fail(kExitUsage, "cannot make the folder " + folder.string() + ": " + error.message());
    }
    for (const auto& entry : files) {
        if (!IsSafeListedFileName(entry.name)) {
            session.Note(
                std::string("'").append(ShownName(entry.name)) + "' cannot be a file name here; it is left out");
            continue;
        }
        const std::string target = (folder / entry.name).string();
        CliQuestions questions(session, options.retries);
        questions.SetSaveTarget(target);
        const std::vector<PythonDownloadResult> results =
            DownloadPythonFiles({ItemForEntry(entry)}, session.Runner(), questions);
        if (results.empty() || results.front().outcome != PythonDownloadOutcome::Saved)
            return session.Fail(kExitRefused, entry.name + " could not be downloaded verified; nothing was written");
        present.push_back((folder.filename() / entry.name).string());
        pythonFiles.Append(target);
    }

    Captured captured;
    YAML::Emitter out;
    out << YAML::BeginMap;
    out << YAML::Key << "settings" << YAML::Value;
    EmitValues(out, ListSettings(documents.SettingsRoot()), options.withSecrets, captured.settings, captured.leftOut);
    if (hasRadio) {
        out << YAML::Key << "radio" << YAML::Value;
        EmitValues(out, ListSettings(documents.RadioSettingsRoot()), options.withSecrets, captured.radio,
            captured.leftOut);
    }
    const auto image = [&out](const std::string& key, const std::string& version, const std::string& file) {
        if (version.empty())
            return;
        out << YAML::Key << key << YAML::Value << YAML::BeginMap;
        out << YAML::Key << "version" << YAML::Value << YAML::DoubleQuoted << version;
        if (!file.empty())
            out << YAML::Key << "image" << YAML::Value << YAML::DoubleQuoted
                << std::filesystem::absolute(file).lexically_normal().string();
        out << YAML::EndMap;
    };
    image("firmware", firmware, options.firmwareImage);
    if (hasRadio)
        image("radio-firmware", radioFirmware, options.radioImage);
    out << YAML::Key << "python" << YAML::Value << YAML::BeginMap;
    out << YAML::Key << "present" << YAML::Value << YAML::BeginSeq;
    for (const auto& file : present)
        out << YAML::DoubleQuoted << file;
    out << YAML::EndSeq;
    const xmlNodePtr settings = documents.SettingsRoot();
    const auto autoStart = SettingText(settings, kAutoStartStatePath);
    const auto command = SettingText(settings, kAutoStartCommandPath);
    if (autoStart || command) {
        out << YAML::Key << "autostart" << YAML::Value << YAML::BeginMap;
        if (autoStart)
            out << YAML::Key << "enabled" << YAML::Value << (*autoStart == "on" ? "true" : "false");
        if (command)
            out << YAML::Key << "command" << YAML::Value << YAML::DoubleQuoted << *command;
        out << YAML::EndMap;
    }
    out << YAML::EndMap << YAML::EndMap;
    std::string text = "# A profile captured by tervane-q7 capture: apply makes another gateway match it.\n";
    for (const auto& leftOut : captured.leftOut)
        text += "# " + ShownName(leftOut) + " left out: a secret (capture --with-secrets writes it)\n";
    text += std::string(out.c_str()) + "\n";

    // What is written must be a profile apply takes: read it back as apply would.
    const ProfileRead check = ReadProfileText(text, path);
    if (!out.good() || !check.Good()) {
        for (const auto& problem : check.problems)
            session.Fail(kExitRefused, problem);
        return session.Fail(kExitRefused, "the device's values do not make a profile; nothing was written");
    }
    std::string reason;
    if (!ReplaceFileContents(path, text, &reason))
        return session.Fail(kExitUsage, "cannot write " + path + ": " + reason);

    JsonValue& json = session.Result();
    json.Set("profile", path);
    json.Set("settings", std::move(captured.settings));
    json.Set("radio", hasRadio ? std::move(captured.radio) : JsonValue());
    json.Set("firmwareVersion", firmware);
    json.Set("radioFirmwareVersion", hasRadio ? JsonValue(radioFirmware) : JsonValue());
    json.Set("pythonFiles", std::move(pythonFiles));
    JsonValue leftOut = JsonValue::Array();
    for (const auto& each : captured.leftOut)
        leftOut.Append(each);
    json.Set("secretsLeftOut", std::move(leftOut));
    session.Out() << "Captured the device on " << session.PortName() << " into " << path << " ("
                  << check.profile.settings.size() << " settings, " << check.profile.radio.size() << " radio settings, "
                  << present.size() << " Python files)";
    if (!options.withSecrets)
        session.Out() << "; secrets left out (--with-secrets writes them)";
    session.Out() << ".\n";
    return kExitDone;
}

} // namespace tervane
