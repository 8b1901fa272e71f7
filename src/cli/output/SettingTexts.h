#pragma once

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tervane {

// Every setting under the root: the path of each element without element children, with
// "&index=N" for elements that carry an index, and its value, in document order. A path
// that an earlier element already answers to is left out: no path can reach that element.
std::vector<std::pair<std::string, std::string>> ListSettings(xmlNodePtr root);

} // namespace tervane
