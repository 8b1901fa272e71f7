#include "SettingPath.h"

#include "SafeXml.h"
#include "XmlText.h"

namespace tervane {

namespace {

bool NodeMatches(const xmlNode* node, xmlElementType type, std::string_view name)
{
    return node->type == type && AsciiIEquals(node->name, name);
}

bool IndexMatches(xmlNodePtr element, std::string_view value)
{
    std::string joined;
    const auto text = IndexText(element, joined);
    return text && AsciiIEquals(*text, value);
}

xmlNodePtr FindInList(xmlNodePtr first, const SettingPathStep& step)
{
    for (xmlNodePtr node = first; node != nullptr; node = node->next) {
        if (!NodeMatches(node, XML_ELEMENT_NODE, step.name))
            continue;
        if (!step.HasIndex() || IndexMatches(node, step.value))
            return node;
    }
    return nullptr;
}

} // namespace

std::optional<std::string_view> IndexText(const xmlNode* element, std::string& joined)
{
    for (const xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
        // The attribute's own name is matched exactly, whatever its namespace.
        if (!xmlStrEqual(attr->name, reinterpret_cast<const xmlChar*>("index")))
            continue;
        const xmlNode* text = attr->children;
        if (text == nullptr)
            return std::string_view();
        if (text->next == nullptr && text->type == XML_TEXT_NODE)
            return XmlView(text->content);
        const XmlString value(xmlNodeListGetString(element->doc, attr->children, 1));
        if (!value)
            return std::nullopt;
        joined = XmlView(value.get());
        return std::string_view(joined);
    }
    return std::nullopt;
}

SettingPathStep SplitPathStep(std::string_view step)
{
    SettingPathStep split{step, {}, {}};
    const std::size_t amp = step.find('&');
    if (amp == std::string_view::npos)
        return split;
    const std::size_t eq = step.find('=', amp + 1);
    if (eq == std::string_view::npos)
        return split;
    split.name = step.substr(0, amp);
    split.key = step.substr(amp + 1, eq - amp - 1);
    split.value = step.substr(eq + 1);
    return split;
}

std::string SettingPathKey(std::string_view path)
{
    std::string key(path);
    for (char& c : key)
        c = FoldAscii(c);
    return key;
}

bool SameSettingPath(std::string_view a, std::string_view b)
{
    return AsciiIEquals(a, b);
}

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
            return SettingAssignment {std::string(operand.substr(0, i)), std::string(operand.substr(i + 1))};
        }
    }
    return std::nullopt;
}

xmlNodePtr FindChild(xmlNodePtr node, xmlElementType type, std::string_view name)
{
    if (node == nullptr)
        return nullptr;
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next)
        if (NodeMatches(child, type, name))
            return child;
    return nullptr;
}

xmlNodePtr FindNextSibling(xmlNodePtr node, xmlElementType type, std::string_view name)
{
    if (node == nullptr)
        return nullptr;
    for (xmlNodePtr sibling = node->next; sibling != nullptr; sibling = sibling->next)
        if (NodeMatches(sibling, type, name))
            return sibling;
    return nullptr;
}

xmlNodePtr ResolvePath(xmlNodePtr start, std::string_view path)
{
    if (start == nullptr || path.empty() || path.size() > kMaxSettingPathLength)
        return nullptr;
    xmlNodePtr list = start;
    for (;;) {
        const std::size_t slash = path.find('/');
        const SettingPathStep step = SplitPathStep(path.substr(0, slash));
        // An empty step (leading, doubled or trailing "/") names nothing.
        xmlNodePtr found = step.name.empty() ? nullptr : FindInList(list, step);
        if (found == nullptr)
            return nullptr;
        if (step.HasIndex() && found->children == nullptr)
            return nullptr;
        if (slash == std::string_view::npos)
            return found;
        path.remove_prefix(slash + 1);
        list = found->children;
    }
}

std::optional<std::string> SettingText(xmlNodePtr start, std::string_view path)
{
    const xmlNodePtr element = ResolvePath(start, path);
    if (element == nullptr)
        return std::nullopt;
    return ElementText(element);
}

} // namespace tervane
