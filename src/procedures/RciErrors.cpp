#include "RciErrors.h"

#include "RciDocuments.h"
#include "SafeXml.h"
#include "SettingPath.h"
#include "USBCommand.h"
#include "XmlText.h"

namespace tervane {

namespace {

xmlNodePtr FindError(xmlNodePtr node)
{
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (AsciiIEquals(XmlView(node->name), "error"))
            return node;
        if (const xmlNodePtr inner = FindError(node->children))
            return inner;
    }
    return nullptr;
}

} // namespace

std::optional<std::string> RciErrorText(std::string_view response)
{
    const XmlDocument reply = ReadUntrustedXml(CutReply(response), "reply.xml");
    if (!reply)
        return std::nullopt;
    const xmlNodePtr error = FindError(xmlDocGetRootElement(reply.get()));
    if (error == nullptr)
        return std::nullopt;
    const xmlNodePtr desc = FindChild(error, XML_ELEMENT_NODE, "desc");
    const XmlString text(desc ? xmlNodeGetContent(desc) : nullptr);
    const std::string_view description = XmlView(text.get());
    return description.empty() ? std::string("error") : std::string(description);
}

std::optional<std::string> RowRefusal(const USBCommand& row)
{
    if (row.failed)
        return std::string("an error answer or none");
    return RciErrorText(row.response);
}

} // namespace tervane
