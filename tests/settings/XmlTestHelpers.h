#pragma once

#include "SafeXml.h"

#include <libxml/tree.h>

#include <gtest/gtest.h>

#include <string>

namespace tervane::test {

// libxml2's own serialisation of a document, declaration included.
inline std::string DumpDocument(xmlDoc* doc)
{
    xmlChar* text = nullptr;
    int length = 0;
    xmlDocDumpMemory(doc, &text, &length);
    const XmlString owner(text);
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text), length);
}

// "/rci_request/set_setting/mgmtconnection[2]/connectionEnabled", or "" for none.
inline std::string NodePath(xmlNode* node)
{
    if (node == nullptr)
        return {};
    const XmlString path(xmlGetNodePath(node));
    return reinterpret_cast<const char*>(path.get());
}

// The name of the first element in a root's sibling list, or "" when there is none.
inline std::string FirstElementName(xmlNode* root)
{
    for (xmlNode* node = root; node != nullptr; node = node->next)
        if (node->type == XML_ELEMENT_NODE)
            return reinterpret_cast<const char*>(node->name);
    return {};
}

// Names a table's rows after their `name` field.
struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& row) const
    {
        return row.param.name;
    }
};

} // namespace tervane::test
