#include "ProfileReader.h"

#include "Md5.h"
#include "ProcedureSteps.h"
#include "PythonFiles.h"
#include "SettingPath.h"
#include "TransferVerification.h"
#include "UploadSource.h"
#include "XmlText.h"

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace tervane {

namespace {

// A profile larger than this is no profile; it is refused before it is parsed.
constexpr std::size_t kMaxProfileBytes = 1 << 20;

// Walks the profile's parse events before any node is built and stops at the first anchor
// or alias. A profile has no use for them, and an alias is the one way a small file can
// name an unbounded amount of values ("billion laughs"): refusing them here keeps reading
// linear in the file's size.
class AliasRefusal : public YAML::EventHandler {
public:
    struct Found {
        int line;
        const char* what;
    };

    void OnDocumentStart(const YAML::Mark&) override { }
    void OnDocumentEnd() override { }
    void OnNull(const YAML::Mark& mark, YAML::anchor_t anchor) override { Anchor(mark, anchor); }
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t) override { throw Found {mark.line + 1, "an alias (*)"}; }
    void OnScalar(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor, const std::string&) override
    {
        Anchor(mark, anchor);
    }
    void OnSequenceStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
        YAML::EmitterStyle::value) override
    {
        Anchor(mark, anchor);
    }
    void OnSequenceEnd() override { }
    void OnMapStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
        YAML::EmitterStyle::value) override
    {
        Anchor(mark, anchor);
    }
    void OnMapEnd() override { }
    void OnAnchor(const YAML::Mark& mark, const std::string&) override { throw Found {mark.line + 1, "an anchor (&)"}; }

private:
    static void Anchor(const YAML::Mark& mark, YAML::anchor_t anchor)
    {
        if (anchor != YAML::NullAnchor)
            throw Found {mark.line + 1, "an anchor (&)"};
    }
};

class Reader {
public:
    Reader(ProfileRead& read, std::string folder)
        : m_read(read)
        , m_folder(std::move(folder))
    {
    }

    void Document(const YAML::Node& root)
    {
        if (root.IsNull())
            return;
        if (!root.IsMap()) {
            Problem(root, "", "a profile is a mapping of settings, radio, firmware, radio-firmware and python");
            return;
        }
        std::set<std::string> keys;
        for (const auto& item : root) {
            const std::string key = KeyText(item.first);
            if (!FirstTime(keys, item.first, key))
                continue;
            if (key == "settings")
                Values(item.second, key, "", m_read.profile.settings);
            else if (key == "radio")
                Values(item.second, key, "", m_read.profile.radio);
            else if (key == "firmware")
                m_read.profile.firmware = Image(item.second, key, false);
            else if (key == "radio-firmware")
                m_read.profile.radioFirmware = Image(item.second, key, true);
            else if (key == "python")
                Python(item.second);
            else
                Problem(item.first, key,
                    "unknown key; a profile holds settings, radio, firmware, radio-firmware and python");
        }
        Duplicates(m_read.profile.settings);
        Duplicates(m_read.profile.radio);
    }

private:
    static std::string KeyText(const YAML::Node& key) { return key.IsScalar() ? key.Scalar() : std::string("?"); }

    static int Line(const YAML::Node& node) { return node.Mark().line + 1; }

    // False (and a problem) when a mapping gives the same key a second time; YAML would
    // silently keep only one of them.
    bool FirstTime(std::set<std::string>& keys, const YAML::Node& key, const std::string& shown)
    {
        if (!key.IsScalar() || keys.insert(key.Scalar()).second)
            return true;
        Problem(key, shown, "is given twice");
        return false;
    }

    void Problem(const YAML::Node& node, const std::string& key, const std::string& what)
    {
        Problem(Line(node), key, what);
    }

    void Problem(int line, const std::string& key, const std::string& what)
    {
        std::string text = m_read.profile.path + ":" + std::to_string(line) + ": ";
        if (!key.empty())
            text += key + ": ";
        m_read.problems.push_back(text + what);
    }

    // A scalar's text, or a problem naming the key. A missing value has no place of its
    // own, so it is reported on the key's line.
    std::optional<std::string> Text(const YAML::Node& node, const std::string& key, int keyLine = 0)
    {
        if (node.IsNull()) {
            Problem(keyLine > 0 ? keyLine : Line(node), key, "has no value (write \"\" for an empty one)");
            return std::nullopt;
        }
        if (!node.IsScalar()) {
            Problem(node, key, "wants a single value, not a list or mapping");
            return std::nullopt;
        }
        return node.Scalar();
    }

    // Setting values: "path: value", where a mapping under a step adds its keys as further
    // steps ("mobile_simple: {apn: x}" is mobile_simple/apn).
    void Values(const YAML::Node& node, const std::string& key, const std::string& prefix,
        std::vector<ProfileValue>& values)
    {
        if (node.IsNull())
            return;
        if (!node.IsMap()) {
            Problem(node, key, "wants setting paths with their values");
            return;
        }
        for (const auto& item : node) {
            const std::string step = KeyText(item.first);
            const std::string path = prefix.empty() ? step : prefix + "/" + step;
            const std::string itemKey = key + "." + path;
            if (!item.first.IsScalar()) {
                Problem(item.first, itemKey, "is not a setting path");
                continue;
            }
            if (step.empty() || path.size() > kMaxSettingPathLength) {
                Problem(item.first, itemKey, "is not a setting path");
                continue;
            }
            if (item.second.IsMap()) {
                Values(item.second, key, path, values);
                continue;
            }
            const auto value = Text(item.second, itemKey, Line(item.first));
            if (!value)
                continue;
            if (ToXmlCharData(*value) != *value) {
                Problem(item.second, itemKey, "holds characters a settings document cannot carry");
                continue;
            }
            values.push_back({path, *value, {itemKey, Line(item.first)}});
        }
    }

    void Duplicates(const std::vector<ProfileValue>& values)
    {
        // Paths the device takes for the same setting are the same path, however they are
        // written: "a/b" and "a: {b: x}", "a/b" and "A/B".
        std::set<std::string> seen;
        for (const auto& value : values) {
            if (!seen.insert(SettingPathKey(value.path)).second)
                Problem(value.place.line, value.place.key, "is given twice");
        }
    }

    std::string Resolve(const std::string& path) const
    {
        const std::filesystem::path given(path);
        return given.is_absolute() || m_folder.empty() ? path : (std::filesystem::path(m_folder) / given).string();
    }

    std::optional<ProfileImage> Image(const YAML::Node& node, const std::string& key, bool radio)
    {
        if (!node.IsMap()) {
            Problem(node, key, "wants version and image");
            return std::nullopt;
        }
        ProfileImage image;
        image.place = {key, Line(node)};
        bool good = true;
        std::set<std::string> keys;
        for (const auto& item : node) {
            const std::string name = KeyText(item.first);
            const std::string itemKey = key + "." + name;
            if (!FirstTime(keys, item.first, itemKey)) {
                good = false;
                continue;
            }
            if (name != "version" && name != "image") {
                Problem(item.first, itemKey, "unknown key; " + key + " holds version and image");
                good = false;
                continue;
            }
            const auto value = Text(item.second, itemKey, Line(item.first));
            if (!value || value->empty()) {
                if (value)
                    Problem(item.second, itemKey, "is empty");
                good = false;
                continue;
            }
            if (name == "version") {
                image.version = *value;
                continue;
            }
            image.imagePath = Resolve(*value);
            if (!CanOpenForReading(image.imagePath)) {
                Problem(item.second, itemKey, "cannot read " + image.imagePath);
                good = false;
            } else if (radio) {
                const auto refusal = DestinationRefusal(UploadSource(image.imagePath, false, true).CheckDestination());
                if (!refusal.empty()) {
                    Problem(item.second, itemKey, std::string(refusal));
                    good = false;
                }
            }
        }
        // A version alone is checked, never installed: apply refuses a device that reports
        // another one.
        if (good && image.version.empty()) {
            Problem(node, key, "needs a version");
            good = false;
        }
        return good ? std::optional<ProfileImage>(image) : std::nullopt;
    }

    void Python(const YAML::Node& node)
    {
        if (node.IsNull())
            return;
        if (!node.IsMap()) {
            Problem(node, "python", "wants present, absent and autostart");
            return;
        }
        std::set<std::string> keys;
        for (const auto& item : node) {
            const std::string name = KeyText(item.first);
            const std::string key = "python." + name;
            if (!FirstTime(keys, item.first, key))
                continue;
            if (name == "present")
                PresentFiles(item.second, key);
            else if (name == "absent")
                AbsentFiles(item.second, key);
            else if (name == "autostart")
                AutoStart(item.second, key);
            else
                Problem(item.first, key, "unknown key; python holds present, absent and autostart");
        }
        std::set<std::string> present;
        for (const auto& file : m_read.profile.pythonPresent)
            present.insert(file.name);
        for (const auto& file : m_read.profile.pythonAbsent) {
            if (present.contains(file.value))
                Problem(file.place.line, file.place.key, file.value + " is also listed as present");
        }
    }

    // The files of a list, each with its own line.
    template <typename Visit> void Files(const YAML::Node& node, const std::string& key, Visit visit)
    {
        if (node.IsNull())
            return;
        if (!node.IsSequence()) {
            Problem(node, key, "wants a list of files");
            return;
        }
        for (std::size_t i = 0; i < node.size(); ++i) {
            const std::string itemKey = key + "[" + std::to_string(i) + "]";
            if (const auto value = Text(node[i], itemKey))
                visit(*value, ProfilePlace {itemKey, Line(node[i])});
        }
    }

    void PresentFiles(const YAML::Node& node, const std::string& key)
    {
        std::set<std::string> names;
        Files(node, key, [&](const std::string& value, const ProfilePlace& place) {
            const std::string local = Resolve(value);
            const UploadSource source(local, false, false);
            if (!CanOpenForReading(local))
                return Problem(place.line, place.key, "cannot read " + local);
            if (const auto refusal = DestinationRefusal(source.CheckDestination()); !refusal.empty())
                return Problem(place.line, place.key, std::string(refusal));
            if (!names.insert(source.FileName()).second)
                return Problem(place.line, place.key, source.FileName() + " is listed twice");
            m_read.profile.pythonPresent.push_back({local, source.FileName(), place});
        });
    }

    void AbsentFiles(const YAML::Node& node, const std::string& key)
    {
        std::set<std::string> names;
        Files(node, key, [&](const std::string& value, const ProfilePlace& place) {
            if (!IsSafeDeviceFileName(value))
                return Problem(place.line, place.key,
                    std::string("'").append(ShownName(value)).append("' cannot be a file name on the device"));
            if (!names.insert(value).second)
                return Problem(place.line, place.key, value + " is listed twice");
            m_read.profile.pythonAbsent.push_back({{}, value, place});
        });
    }

    void AutoStart(const YAML::Node& node, const std::string& key)
    {
        if (!node.IsMap()) {
            Problem(node, key, "wants enabled and command");
            return;
        }
        std::set<std::string> keys;
        for (const auto& item : node) {
            const std::string name = KeyText(item.first);
            const std::string itemKey = key + "." + name;
            const ProfilePlace place {itemKey, Line(item.first)};
            if (!FirstTime(keys, item.first, itemKey))
                continue;
            if (name == "enabled") {
                const auto value = Text(item.second, itemKey, place.line);
                if (!value)
                    continue;
                if (*value == "true" || *value == "on" || *value == "yes")
                    m_read.profile.settings.push_back({kAutoStartStatePath, "on", place});
                else if (*value == "false" || *value == "off" || *value == "no")
                    m_read.profile.settings.push_back({kAutoStartStatePath, "off", place});
                else
                    Problem(item.second, itemKey, "wants true or false");
            } else if (name == "command") {
                const auto value = Text(item.second, itemKey, place.line);
                if (value && ToXmlCharData(*value) != *value)
                    Problem(item.second, itemKey, "holds characters a settings document cannot carry");
                else if (value)
                    m_read.profile.settings.push_back({kAutoStartCommandPath, *value, place});
            } else {
                Problem(item.first, itemKey, "unknown key; autostart holds enabled and command");
            }
        }
    }

    ProfileRead& m_read;
    std::string m_folder;
};

} // namespace

namespace {

ProfileRead ReadText(std::string_view text, const std::string& path, const std::string& folder)
{
    ProfileRead read;
    read.profile.path = path;
    YAML::Node root;
    try {
        const std::string whole(text);
        {
            std::istringstream events(whole);
            YAML::Parser parser(events);
            AliasRefusal refusal;
            parser.HandleNextDocument(refusal);
        }
        root = YAML::Load(whole);
    } catch (const AliasRefusal::Found& found) {
        read.problems.push_back(path + ":" + std::to_string(found.line) + ": " + found.what +
            " is not allowed in a profile; write each value out");
        return read;
    } catch (const YAML::Exception& e) {
        read.problems.push_back(path + ":" + std::to_string(e.mark.line + 1) + ": not YAML: " + e.msg);
        return read;
    }
    Reader(read, folder).Document(root);
    return read;
}

} // namespace

ProfileRead ReadProfileText(std::string_view text, const std::string& path)
{
    return ReadText(text, path, std::filesystem::path(path).parent_path().string());
}

namespace {

// Reads at most one byte more than a profile may hold, so a larger one is told apart.
std::optional<std::string> ReadBounded(std::istream& in)
{
    std::string text;
    text.resize(kMaxProfileBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return std::nullopt;
    return text;
}

ProfileRead ReadBoundedText(const std::optional<std::string>& text, const std::string& path, const std::string& folder)
{
    ProfileRead read;
    read.profile.path = path;
    if (!text) {
        read.problems.push_back(path + ": cannot read the profile");
        return read;
    }
    if (text->size() > kMaxProfileBytes) {
        read.problems.push_back(path + ": the profile is larger than 1 MiB");
        return read;
    }
    return ReadText(*text, path, folder);
}

std::string TextDigestHex(std::string_view text)
{
    Md5 md5;
    std::array<unsigned char, 16> digest {};
    if (!md5.Update(reinterpret_cast<const unsigned char*>(text.data()), text.size()) || !md5.Final(digest))
        return {};
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

} // namespace

ProfileRead ReadProfile(const std::string& path)
{
    if (!CanOpenForReading(path)) {
        ProfileRead read;
        read.profile.path = path;
        read.problems.push_back(path + ": cannot read the profile");
        return read;
    }
    std::ifstream in(path, std::ios::binary);
    ProfileRead read = ReadBoundedText(ReadBounded(in), path, std::filesystem::path(path).parent_path().string());
    read.profile.digest = FileDigestHex(path).value_or("");
    return read;
}

ProfileRead ReadProfileStream(std::istream& in, const std::string& name)
{
    const std::optional<std::string> text = ReadBounded(in);
    // Relative file names in it are taken from the current folder.
    ProfileRead read = ReadBoundedText(text, name, "");
    if (text && read.Good())
        read.profile.digest = TextDigestHex(*text);
    return read;
}

} // namespace tervane
