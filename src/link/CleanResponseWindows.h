#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tervane {

// Cleaning reads a long answer in windows of this many characters, so that its later steps work
// on what was just read while it is still in the first level cache.
inline constexpr std::size_t kCleanResponseWindow = 16 * 1024;

// CleanResponse with another window: tests and the fuzz target use small ones, so that tags,
// echoes and result codes meet the windows' edges in short answers.
bool CleanResponseInWindows(std::string_view command, std::string& text, std::size_t window);
bool CleanResponseInWindows(std::string_view command, std::string_view raw, std::string& cleaned, std::size_t window);

} // namespace tervane
