#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tervane::sim {

// The device's check of one setting value. Gives the value as the device stores it (on/off and
// list words in lower case), or nothing when the device refuses it. Settings without a rule take
// any text.
std::optional<std::string> NormalizeSettingValue(std::string_view group, std::string_view setting,
                                                 std::string_view value);

} // namespace tervane::sim
