#include "ProfileChanges.h"

#include "XmlText.h"

namespace tervane {

std::string_view ChangeKindName(ProfileChangeKind kind)
{
    switch (kind) {
    case ProfileChangeKind::Setting: return "setting";
    case ProfileChangeKind::RadioSetting: return "radio";
    case ProfileChangeKind::Firmware: return "firmware";
    case ProfileChangeKind::RadioFirmware: return "radio-firmware";
    case ProfileChangeKind::PythonUpload: return "python-upload";
    case ProfileChangeKind::PythonDelete: return "python-delete";
    }
    return "setting";
}

namespace {

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

bool IsSecretPath(std::string_view path)
{
    for (std::size_t i = 0; i < path.size(); ++i) {
        const std::string_view rest = path.substr(i);
        if (AsciiIStartsWith(rest, "password") || AsciiIStartsWith(rest, "key"))
            return true;
        // "pin" only as a word of its own (mobile_simple/pin, sim_pin), so that ping and
        // mapping stay visible.
        const bool wordStart = i == 0 || !IsAsciiLetter(path[i - 1]);
        const bool wordEnd = rest.size() == 3 || (rest.size() > 3 && !IsAsciiLetter(rest[3]));
        if (wordStart && wordEnd && AsciiIStartsWith(rest, "pin"))
            return true;
    }
    return false;
}

std::string ShownValue(const ProfileChange& change, const std::string& value)
{
    const bool setting = change.kind == ProfileChangeKind::Setting || change.kind == ProfileChangeKind::RadioSetting;
    return setting ? ShownSettingValue(change.path, value) : value;
}

std::string ShownSettingValue(std::string_view path, const std::string& value)
{
    return IsSecretPath(path) ? std::string(kHiddenValue) : value;
}

} // namespace tervane
