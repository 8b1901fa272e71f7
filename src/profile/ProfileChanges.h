#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tervane {

// What a profile changes on a gateway, one thing at a time.
enum class ProfileChangeKind {
    Setting,        // a value of the settings document
    RadioSetting,   // a value of the radio settings document
    Firmware,       // the firmware version
    RadioFirmware,  // the Ravlo radio's firmware version
    PythonUpload,   // a Python file missing or with other bytes
    PythonDelete,   // a Python file that must go
};

struct ProfileChange {
    ProfileChangeKind kind = ProfileChangeKind::Setting;
    // The setting path, "firmware", "radio-firmware", or the Python file's name.
    std::string path;
    std::string before;
    std::string after;
};

// "setting", "radio", "firmware", "radio-firmware", "python-upload", "python-delete".
std::string_view ChangeKindName(ProfileChangeKind kind);

// Whether a value is a secret: its path says password or key, or has
// the word pin (ignoring case). Secrets are
// never shown, only "********".
bool IsSecretPath(std::string_view path);
inline constexpr std::string_view kHiddenValue = "********";

// The value as it may be shown: the value itself, or kHiddenValue for a secret setting.
std::string ShownValue(const ProfileChange& change, const std::string& value);
// The same for a value of the setting at `path`.
std::string ShownSettingValue(std::string_view path, const std::string& value);

} // namespace tervane
