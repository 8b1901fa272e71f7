#pragma once

#include "Profile.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace tervane {

// A profile as read from its file, or why it cannot be used. Each problem is one line:
// "<file>:<line>: <key>: <what is wrong>" (without line and key when the whole file is at
// fault). Nothing is sent to a device for a profile with problems.
struct ProfileRead {
    Profile profile;
    std::vector<std::string> problems;
    bool Good() const { return problems.empty(); }
};

// Reads a profile: YAML (so JSON too) whose top-level keys are `settings`, `radio`,
// `firmware`, `radio-firmware` and `python`. Checks everything that can be checked without
// the device: unknown keys, values that are not texts or that a settings document cannot
// carry, files that cannot be read, names the device cannot hold.
ProfileRead ReadProfile(const std::string& path);

// The same for the profile's text; `path` names it in problems and relative file names are
// taken from its folder.
ProfileRead ReadProfileText(std::string_view text, const std::string& path);

// A profile from a stream (`apply -` reads standard input), named `name` in problems; relative
// file names in it are taken from the current folder.
ProfileRead ReadProfileStream(std::istream& in, const std::string& name);

} // namespace tervane
