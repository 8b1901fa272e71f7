#pragma once

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tervane {

// PATH=VALUE from the command line.
struct SettingAssignment {
    std::string path;
    std::string value;
};

// Splits at the first "=" that is not the "=" of a step's "&key=value": in
// "mgmtconnection&index=3/connectionEnabled=on" the value is "on". None without such an
// "=" or with an empty path.
std::optional<SettingAssignment> SplitAssignment(std::string_view operand);

// Every setting under the root: the path of each element without element children, with
// "&index=N" for elements that carry an index, and its value, in document order. A path
// that an earlier element already answers to is left out: no path can reach that element.
std::vector<std::pair<std::string, std::string>> ListSettings(xmlNodePtr root);

} // namespace tervane
