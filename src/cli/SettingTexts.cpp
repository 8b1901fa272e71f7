#include "SettingTexts.h"

#include "SafeXml.h"
#include "SettingPath.h"
#include "XmlText.h"

#include <unordered_set>

namespace tervane {

std::optional<SettingAssignment> SplitAssignment(std::string_view operand)
{
    bool indexOpen = false;  // after a step's "&", before its "="
    bool indexTaken = false; // the step's "&key=" has had its "="
    for (std::size_t i = 0; i < operand.size(); ++i) {
        const char c = operand[i];
        if (c == '/') {
            indexOpen = false;
            indexTaken = false;
        } else if (c == '&' && !indexTaken) {
            indexOpen = true;
        } else if (c == '=') {
            if (indexOpen) {
                indexOpen = false;
                indexTaken = true;
                continue;
            }
            if (i == 0)
                return std::nullopt;
            return SettingAssignment{std::string(operand.substr(0, i)), std::string(operand.substr(i + 1))};
        }
    }
    return std::nullopt;
}

namespace {

bool HasElementChild(xmlNodePtr node)
{
    for (xmlNodePtr child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            return true;
    }
    return false;
}

std::string Folded(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

// Walks the tree once. A path resolves without backtracking to the first element of each
// list that its step matches, so an element is reached by its own path exactly when every
// step on the way, its own included, is the first of its list to match: the first of its
// name (names compared A to Z folded) for a step without index, the first of its name and
// index for a step with one. Each list remembers the steps it has already answered.
void Collect(xmlNodePtr first, const std::string& prefix, std::vector<std::pair<std::string, std::string>>& out)
{
    std::unordered_set<std::string> names;
    std::unordered_set<std::string> indexedNames;
    for (xmlNodePtr node = first; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        const std::string_view name = XmlView(node->name);
        const XmlString index(xmlGetProp(node, reinterpret_cast<const xmlChar*>("index")));
        const bool firstOfName = names.insert(Folded(name)).second;
        bool reached = firstOfName;
        std::string step(name);
        if (index) {
            const std::string_view value = XmlView(index.get());
            step += "&index=";
            step += value;
            std::string key = Folded(name);
            key += '\0';
            key += Folded(value);
            reached = indexedNames.insert(std::move(key)).second
                // A "/" in the value would split the step; an indexed element without
                // children answers no path.
                && value.find('/') == std::string_view::npos && node->children != nullptr;
        }
        if (!reached)
            continue;
        std::string path = prefix.empty() ? std::move(step) : prefix + "/" + step;
        if (path.size() > kMaxSettingPathLength)
            continue;
        if (HasElementChild(node)) {
            Collect(node->children, path, out);
            continue;
        }
        out.emplace_back(std::move(path), ElementText(node));
    }
}

} // namespace

std::vector<std::pair<std::string, std::string>> ListSettings(xmlNodePtr root)
{
    std::vector<std::pair<std::string, std::string>> out;
    Collect(root, {}, out);
    return out;
}

} // namespace tervane
