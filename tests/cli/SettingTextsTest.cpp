#include "SafeXml.h"
#include "SettingPath.h"
#include "SettingTexts.h"
#include "XmlText.h"

#include <gtest/gtest.h>

#include <string>

namespace tervane {
namespace {

TEST(ListSettingsTest, ListsWhatPathsReach)
{
    const XmlDocument doc = ReadUntrustedXml(
        "<r><set_setting>\n"
        "  <mobile_simple><apn>internet</apn><pin/></mobile_simple>\n"
        "  <mgmtconnection index=\"1\"><connectionEnabled>on</connectionEnabled>"
        "<ServerArray index=\"1\"><serverAddress>a.example</serverAddress></ServerArray></mgmtconnection>\n"
        "  <mgmtconnection index=\"3\"><connectionEnabled>off</connectionEnabled></mgmtconnection>\n"
        "  <serial><baud>9600</baud></serial>\n"
        "  <serial><baud>115200</baud><parity>none</parity></serial>\n"
        "</set_setting></r>",
        "test.xml");
    ASSERT_TRUE(doc);
    const xmlNodePtr root = xmlDocGetRootElement(doc.get())->children->children;

    // The second serial group cannot be reached by a path: the first one wins every step.
    const std::vector<std::pair<std::string, std::string>> expected{
        {"mobile_simple/apn", "internet"},
        {"mobile_simple/pin", ""},
        {"mgmtconnection&index=1/connectionEnabled", "on"},
        {"mgmtconnection&index=1/ServerArray&index=1/serverAddress", "a.example"},
        {"mgmtconnection&index=3/connectionEnabled", "off"},
        {"serial/baud", "9600"},
    };
    EXPECT_EQ(ListSettings(root), expected);
    EXPECT_EQ(SettingText(root, "MOBILE_SIMPLE/APN"), "internet");
    EXPECT_EQ(SettingText(root, "serial/parity"), std::nullopt);
}

// The listing walks the tree once; it must list exactly the leaves that resolving each
// leaf's own path, from the root, comes back to.
void ReachedByResolving(xmlNodePtr root, xmlNodePtr first, const std::string& prefix,
    std::vector<std::pair<std::string, std::string>>& out)
{
    for (xmlNodePtr node = first; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        std::string step(XmlView(node->name));
        const XmlString index(xmlGetProp(node, reinterpret_cast<const xmlChar*>("index")));
        if (index)
            step += "&index=" + std::string(XmlView(index.get()));
        const std::string path = prefix.empty() ? step : prefix + "/" + step;
        bool leaf = true;
        for (xmlNodePtr child = node->children; child; child = child->next)
            leaf = leaf && child->type != XML_ELEMENT_NODE;
        if (!leaf)
            ReachedByResolving(root, node->children, path, out);
        else if (ResolvePath(root, path) == node)
            out.emplace_back(path, SettingText(root, path).value_or("?"));
    }
}

// Every kind of list: names repeated and differing in case, indexes repeated and differing
// in case, index values a path cannot carry, mixed and nested content, a path at the limit.
std::string ListsOfEveryKind()
{
    return "<Serial><baud>1</baud></Serial><serial><baud>2</baud><extra>3</extra></serial>"
           "<group index=\"A\"><v>4</v></group><group index=\"a\"><v>5</v></group><group><v>6</v></group>"
           "<group index=\"b\"><v>7</v><V>8</V></group>"
           "<slash index=\"1/2\"><v>9</v></slash><empty index=\"1\"/><empty index=\"2\">x</empty>"
           "<amp index=\"a&amp;b=c\"><v>10</v></amp><blank index=\"\"><v>11</v></blank>"
           "<mixed>t<![CDATA[u]]></mixed><deep><deep><deep>12</deep></deep></deep>"
           "<long><" + std::string(95, 'n') + ">13</" + std::string(95, 'n') + "></long>";
}

// A list long enough to be remembered in a hash set rather than searched in place: the same
// kinds of elements many times over, and indexes counting up with repeats among them.
std::string LongList()
{
    std::string lists = ListsOfEveryKind() + ListsOfEveryKind();
    for (int i = 0; i < 40; ++i)
        lists += "<Group index=\"" + std::to_string(i % 25) + "\"><v>" + std::to_string(i) + "</v></Group>";
    return lists + ListsOfEveryKind();
}

TEST(ListSettingsTest, AgreesWithResolvingEachPath)
{
    for (const auto& lists : {ListsOfEveryKind(), LongList()}) {
        const XmlDocument doc = ReadUntrustedXml("<r><set_setting>" + lists + "</set_setting></r>", "test.xml");
        ASSERT_TRUE(doc);
        const xmlNodePtr root = xmlDocGetRootElement(doc.get())->children->children;

        std::vector<std::pair<std::string, std::string>> expected;
        ReachedByResolving(root, root, {}, expected);
        EXPECT_EQ(ListSettings(root), expected);
        EXPECT_GE(expected.size(), 8u);
    }
}

} // namespace
} // namespace tervane
