#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tervane {

// Where a profile says something: the key as written (its path of mapping keys joined by
// ".") and its line in the file, counted from 1.
struct ProfilePlace {
    std::string key;
    int line = 0;
};

// One wanted value of a settings document, by setting path.
struct ProfileValue {
    std::string path;
    std::string value;
    ProfilePlace place;
};

// A wanted firmware version and the image that gives it.
struct ProfileImage {
    std::string version;
    std::string imagePath;  // resolved against the profile's folder
    ProfilePlace place;
};

// A Python file that must be on the device: the local file, sent under its own name.
struct ProfilePythonFile {
    std::string localPath;  // resolved against the profile's folder
    std::string name;       // the name in /WEB/python
    ProfilePlace place;
};

// What one gateway should look like. Every part is optional; an empty profile wants nothing.
struct Profile {
    std::string path;
    // MD5 of the profile file's bytes: which profile an inventory record was made with.
    std::string digest;
    // Settings document values, the Python auto-start settings among them.
    std::vector<ProfileValue> settings;
    // Radio settings document values.
    std::vector<ProfileValue> radio;
    std::optional<ProfileImage> firmware;
    std::optional<ProfileImage> radioFirmware;
    std::vector<ProfilePythonFile> pythonPresent;
    std::vector<ProfileValue> pythonAbsent;  // `value` is the file name; `path` unused
};

} // namespace tervane
