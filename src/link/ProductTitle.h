#pragma once

namespace tervane {

// The product title: the window's caption, the caption of its prompts, and the first line of
// the command log's banner.
inline constexpr const char* kProductTitle = "Tervane Q7 Dashboard";

} // namespace tervane
