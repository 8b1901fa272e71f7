#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tervane {

// A path holds at most this many characters; a longer one names no setting.
inline constexpr std::size_t kMaxSettingPathLength = 99;

// One step of a setting path: "name" or "name&key=value". The key only says whether an
// index is given; the attribute compared is always `index`.
struct SettingPathStep {
    std::string_view name;
    std::string_view key;
    std::string_view value;
    bool HasIndex() const { return !key.empty(); }
};

// Splits a step only when it holds "&" and an "=" somewhere after it.
SettingPathStep SplitPathStep(std::string_view step);

// The device compares setting paths without regard to A to Z case: two paths name the
// same setting exactly when their keys are equal. Other bytes are kept as they are.
std::string SettingPathKey(std::string_view path);
bool SameSettingPath(std::string_view a, std::string_view b);

// PATH=VALUE, as typed on the command line.
struct SettingAssignment {
    std::string path;
    std::string value;
};

// Splits at the first "=" that is not the "=" of a step's "&key=value": in
// "mgmtconnection&index=3/connectionEnabled=on" the value is "on". None without such an
// "=" or with an empty path.
std::optional<SettingAssignment> SplitAssignment(std::string_view operand);

// The first child of `node` of the given type whose name matches (A to Z case-folded).
xmlNodePtr FindChild(xmlNodePtr node, xmlElementType type, std::string_view name);
// The same test over the nodes after `node`; `node` itself is not tested.
xmlNodePtr FindNextSibling(xmlNodePtr node, xmlElementType type, std::string_view name);

// The text a step's index is compared with: the value of the element's first attribute
// named `index`, whatever its namespace; none without one. A value the tree keeps in one
// text node is viewed where it lies; one in several pieces is joined into `joined`.
std::optional<std::string_view> IndexText(const xmlNode* element, std::string& joined);

// The element a setting path names, walking from `start` (a document root: the first node
// of the list of groups) and its following siblings; none when the path does not resolve.
// The first element matching a step is taken; there is no backtracking.
xmlNodePtr ResolvePath(xmlNodePtr start, std::string_view path);

// The text of the element a setting path names; none when the path does not resolve.
std::optional<std::string> SettingText(xmlNodePtr start, std::string_view path);

} // namespace tervane
