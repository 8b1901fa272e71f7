#include "SimXml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <limits>
#include <memory>

namespace tervane::sim {

namespace {

std::string TakeXmlString(xmlChar* value)
{
    std::string result = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return result;
}

SimNode Convert(xmlNode* element)
{
    SimNode node(reinterpret_cast<const char*>(element->name));
    for (xmlAttr* attr = element->properties; attr; attr = attr->next)
        node.attributes.emplace_back(reinterpret_cast<const char*>(attr->name),
                                     TakeXmlString(xmlNodeListGetString(element->doc, attr->children, 1)));
    for (xmlNode* child = element->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            node.children.push_back(Convert(child));
    }
    if (node.children.empty())
        node.text = TakeXmlString(xmlNodeGetContent(element));
    return node;
}

} // namespace

SimNode::SimNode(std::string elementName, std::string value)
    : name(std::move(elementName))
    , text(std::move(value))
{
}

SimNode& SimNode::Attr(std::string key, std::string value)
{
    attributes.emplace_back(std::move(key), std::move(value));
    return *this;
}

SimNode& SimNode::Add(SimNode child)
{
    children.push_back(std::move(child));
    return *this;
}

std::string SimNode::Attribute(std::string_view key) const
{
    for (const auto& [k, v] : attributes) {
        if (NamesEqual(k, key))
            return v;
    }
    return {};
}

bool SimNode::HasAttribute(std::string_view key) const
{
    for (const auto& attr : attributes) {
        if (NamesEqual(attr.first, key))
            return true;
    }
    return false;
}

bool NamesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::optional<SimNode> ParseXml(std::string_view text)
{
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return std::nullopt;
    // No network access and no entity substitution: requests come from whoever holds the port.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), "request.xml", nullptr, options), &xmlFreeDoc);
    if (!doc)
        return std::nullopt;
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root)
        return std::nullopt;
    return Convert(root);
}

std::string EscapeXml(std::string_view text, bool inAttribute)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"':
            if (inAttribute) {
                out += "&quot;";
                break;
            }
            [[fallthrough]];
        default: out += c;
        }
    }
    return out;
}

std::string WriteXml(const SimNode& node, int depth)
{
    std::string out(static_cast<std::size_t>(depth) * 2, ' ');
    out += '<';
    out += node.name;
    for (const auto& [key, value] : node.attributes)
        out += ' ' + key + "=\"" + EscapeXml(value, true) + '"';
    if (node.children.empty()) {
        if (node.text.empty())
            out += "/>\n";
        else
            out += '>' + EscapeXml(node.text, false) + "</" + node.name + ">\n";
        return out;
    }
    out += ">\n";
    for (const SimNode& child : node.children)
        out += WriteXml(child, depth + 1);
    out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + "</" + node.name + ">\n";
    return out;
}

SimNode ErrorNode(int id, std::string description)
{
    SimNode error("error");
    error.Attr("id", std::to_string(id));
    error.Add(SimNode("desc", std::move(description)));
    return error;
}

} // namespace tervane::sim
