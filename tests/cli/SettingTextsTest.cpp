#include "SafeXml.h"
#include "SettingPath.h"
#include "SettingTexts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tervane {
namespace {

struct SplitCase {
    const char* name;
    const char* operand;
    std::optional<std::string> path;
    std::string value;
};

// Test names say which row it is; the bytes of the row say nothing.
void PrintTo(const SplitCase& row, std::ostream* out)
{
    *out << row.name;
}

class SplitAssignmentTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitAssignmentTest, SplitsAtTheValuesEquals)
{
    const auto assignment = SplitAssignment(GetParam().operand);
    ASSERT_EQ(assignment.has_value(), GetParam().path.has_value());
    if (assignment) {
        EXPECT_EQ(assignment->path, *GetParam().path);
        EXPECT_EQ(assignment->value, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(Operands, SplitAssignmentTest,
    ::testing::Values(
        SplitCase{"plain", "mobile_simple/apn=internet", "mobile_simple/apn", "internet"},
        SplitCase{"emptyValue", "mobile_simple/pin=", "mobile_simple/pin", ""},
        SplitCase{"valueWithEquals", "python/command=main.py --level=2", "python/command", "main.py --level=2"},
        SplitCase{"valueWithSlash", "system/location=a/b", "system/location", "a/b"},
        SplitCase{"indexStep", "mgmtconnection&index=3/connectionEnabled=on", "mgmtconnection&index=3/connectionEnabled",
            "on"},
        SplitCase{"twoIndexSteps", "mgmtconnection&index=1/ServerArray&index=1/serverAddress=en://x",
            "mgmtconnection&index=1/ServerArray&index=1/serverAddress", "en://x"},
        SplitCase{"valueWithAmpersand", "system/contact=a&b=c", "system/contact", "a&b=c"},
        SplitCase{"noEquals", "mobile_simple/apn", std::nullopt, ""},
        SplitCase{"onlyIndexEquals", "serial&index=1", std::nullopt, ""},
        SplitCase{"emptyPath", "=x", std::nullopt, ""}),
    [](const ::testing::TestParamInfo<SplitCase>& row) { return std::string(row.param.name); });

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

} // namespace
} // namespace tervane
