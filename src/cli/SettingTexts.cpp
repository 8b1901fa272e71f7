#include "SettingTexts.h"

#include "SafeXml.h"
#include "SettingPath.h"
#include "XmlText.h"


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

void Collect(xmlNodePtr root, xmlNodePtr first, const std::string& prefix,
    std::vector<std::pair<std::string, std::string>>& out)
{
    for (xmlNodePtr node = first; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        std::string step = std::string(XmlView(node->name));
        const XmlString index(xmlGetProp(node, reinterpret_cast<const xmlChar*>("index")));
        if (index)
            step += "&index=" + std::string(XmlView(index.get()));
        const std::string path = prefix.empty() ? step : prefix + "/" + step;
        if (HasElementChild(node)) {
            Collect(root, node->children, path, out);
            continue;
        }
        // Only elements a path really reaches: an earlier element of the same name wins,
        // and there is no backtracking.
        if (path.size() > kMaxSettingPathLength || ResolvePath(root, path) != node)
            continue;
        out.emplace_back(path, SettingText(root, path).value_or(""));
    }
}

} // namespace

std::vector<std::pair<std::string, std::string>> ListSettings(xmlNodePtr root)
{
    std::vector<std::pair<std::string, std::string>> out;
    Collect(root, root, {}, out);
    return out;
}

} // namespace tervane
