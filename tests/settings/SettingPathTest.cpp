#include "RciDocuments.h"
#include "SettingPath.h"
#include "XmlTestHelpers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tervane {
namespace {

struct AssignmentCase {
    const char* name;
    const char* operand;
    std::optional<std::string> path;
    std::string value;
};

// Test names say which row it is; the bytes of the row say nothing.
void PrintTo(const AssignmentCase& row, std::ostream* out)
{
    *out << row.name;
}

class SplitAssignmentTest : public ::testing::TestWithParam<AssignmentCase> { };

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
    ::testing::Values(AssignmentCase {"plain", "mobile_simple/apn=internet", "mobile_simple/apn", "internet"},
        AssignmentCase {"emptyValue", "mobile_simple/pin=", "mobile_simple/pin", ""},
        AssignmentCase {"valueWithEquals", "python/command=main.py --level=2", "python/command", "main.py --level=2"},
        AssignmentCase {"valueWithSlash", "system/location=a/b", "system/location", "a/b"},
        AssignmentCase {"indexStep", "mgmtconnection&index=3/connectionEnabled=on",
            "mgmtconnection&index=3/connectionEnabled", "on"},
        AssignmentCase {"twoIndexSteps", "mgmtconnection&index=1/ServerArray&index=1/serverAddress=en://x",
            "mgmtconnection&index=1/ServerArray&index=1/serverAddress", "en://x"},
        AssignmentCase {"valueWithAmpersand", "system/contact=a&b=c", "system/contact", "a&b=c"},
        AssignmentCase {"noEquals", "mobile_simple/apn", std::nullopt, ""},
        AssignmentCase {"onlyIndexEquals", "serial&index=1", std::nullopt, ""},
        AssignmentCase {"emptyPath", "=x", std::nullopt, ""}),
    [](const ::testing::TestParamInfo<AssignmentCase>& row) { return std::string(row.param.name); });

// Paths name the same setting however their A to Z letters are written; other bytes count.
TEST(SettingPathKeyTest, FoldsOnlyAToZ)
{
    EXPECT_EQ(SettingPathKey("MOBILE_SIMPLE/APN"), "mobile_simple/apn");
    EXPECT_EQ(SettingPathKey("Serial&Index=A/Baud"), "serial&index=a/baud");
    EXPECT_TRUE(SameSettingPath("mobile_simple/apn", "MOBILE_SIMPLE/APN"));
    EXPECT_FALSE(SameSettingPath("st\xc3\xa4ndig/v", "ST\xc3\x84NDIG/V"));
    EXPECT_NE(SettingPathKey("st\xc3\xa4ndig/v"), SettingPathKey("ST\xc3\x84NDIG/V"));
    EXPECT_FALSE(SameSettingPath("mobile_simple/apn", "mobile_simple/apn2"));
}

// Whitespace before the first group leaves a text node at the head of the root list.
constexpr const char* kReply = R"(<rci_reply version="1.1">
 <query_setting>
  <mobile_simple><apn>internet</apn><empty_one/></mobile_simple>
  <mgmtconnection index="1"><connectionEnabled>off</connectionEnabled><ServerArray index="1"><serverAddress>en://a</serverAddress></ServerArray></mgmtconnection>
  <mgmtconnection index="3"><connectionEnabled>on</connectionEnabled><ServerArray index="1"><serverAddress>lka</serverAddress></ServerArray><ServerArray index="2"/></mgmtconnection>
  <serial index="A"><baud>9600</baud></serial>
  <solo><x>1</x></solo>
  <python><state>on</state></python>
  <python><other>x</other></python>
  <ständig><v>1</v></ständig>
  <long_group><a_setting_name_that_makes_the_whole_path_exactly_ninety_nine_characters_long_xxxxxxxxxxx>1</a_setting_name_that_makes_the_whole_path_exactly_ninety_nine_characters_long_xxxxxxxxxxx></long_group>
 </query_setting>
</rci_reply>)";

constexpr const char* kSet = "/rci_request/set_setting/";

struct ResolveCase {
    const char* name;
    std::string path;
    std::string expected;  // node path under set_setting, "" = does not resolve
};

std::ostream& operator<<(std::ostream& os, const ResolveCase& c) { return os << c.name; }

class ResolvePathTest : public ::testing::TestWithParam<ResolveCase> {
protected:
    static void SetUpTestSuite()
    {
        s_documents = new RciDocuments;
        s_documents->ParseSettings(kReply);
    }
    static void TearDownTestSuite() { delete s_documents; }
    static RciDocuments* s_documents;
};
RciDocuments* ResolvePathTest::s_documents = nullptr;

TEST_P(ResolvePathTest, FindsTheNamedElement)
{
    const ResolveCase& c = GetParam();
    ASSERT_NE(s_documents->SettingsRoot(), nullptr);
    EXPECT_EQ(s_documents->SettingsRoot()->type, XML_TEXT_NODE);
    const std::string expected = c.expected.empty() ? "" : kSet + c.expected;
    EXPECT_EQ(test::NodePath(ResolvePath(s_documents->SettingsRoot(), c.path)), expected);
}

const std::string kLongName = "a_setting_name_that_makes_the_whole_path_exactly_ninety_nine_characters_long_xxxxxxxxxxx";

INSTANTIATE_TEST_SUITE_P(
    Paths, ResolvePathTest,
    ::testing::Values(
        ResolveCase{"plain", "mobile_simple/apn", "mobile_simple/apn"},
        ResolveCase{"upper_case", "MOBILE_SIMPLE/APN", "mobile_simple/apn"},
        ResolveCase{"group_itself", "mobile_simple", "mobile_simple"},
        ResolveCase{"index_picks_second_group", "mgmtconnection&index=3/connectionEnabled",
                    "mgmtconnection[2]/connectionEnabled"},
        ResolveCase{"no_index_takes_first", "mgmtconnection/connectionEnabled", "mgmtconnection[1]/connectionEnabled"},
        ResolveCase{"two_indexed_steps", "mgmtconnection&index=3/ServerArray&index=1/serverAddress",
                    "mgmtconnection[2]/ServerArray[1]/serverAddress"},
        ResolveCase{"index_not_present", "mgmtconnection&index=2/connectionEnabled", ""},
        ResolveCase{"any_key_means_index", "mgmtconnection&id=3/connectionEnabled", "mgmtconnection[2]/connectionEnabled"},
        ResolveCase{"empty_key_means_no_index", "mgmtconnection&=3/connectionEnabled", "mgmtconnection[1]/connectionEnabled"},
        ResolveCase{"ampersand_without_equals", "mgmtconnection&index/connectionEnabled", ""},
        ResolveCase{"index_value_case_folded", "serial&index=a/baud", "serial/baud"},
        ResolveCase{"index_on_group_without_attribute", "solo&index=1/x", ""},
        ResolveCase{"no_backtracking", "python/other", ""},
        ResolveCase{"last_step_empty_element", "mobile_simple/empty_one", "mobile_simple/empty_one"},
        ResolveCase{"last_step_indexed_empty_element", "mgmtconnection&index=3/ServerArray&index=2", ""},
        ResolveCase{"below_a_text_value", "mobile_simple/apn/x", ""},
        ResolveCase{"missing_group", "telnet_server/port", ""},
        ResolveCase{"empty_path", "", ""},
        ResolveCase{"leading_slash", "/mobile_simple/apn", ""},
        ResolveCase{"doubled_slash", "mobile_simple//apn", ""},
        ResolveCase{"trailing_slash", "mobile_simple/apn/", ""},
        ResolveCase{"non_ascii_letters_not_folded", "STÄNDIG/v", ""},
        ResolveCase{"non_ascii_exact", "STäNDIG/V", "ständig/v"},
        ResolveCase{"prefix_of_a_name", "long_group/" + kLongName.substr(0, 20), ""},
        ResolveCase{"longest_path", "LONG_GROUP/" + kLongName, "long_group/" + kLongName},
        ResolveCase{"one_character_too_long", "long_group/" + kLongName + "x", ""}),
    test::CaseName());

TEST(ResolvePath, NoStartNodeResolvesNothing)
{
    EXPECT_EQ(ResolvePath(nullptr, "mobile_simple/apn"), nullptr);
}

TEST(ResolvePath, LongestPathIsNinetyNineCharacters)
{
    EXPECT_EQ(("long_group/" + kLongName).size(), kMaxSettingPathLength);
}

struct SplitCase {
    const char* name;
    const char* step;
    const char* expectedName;
    const char* expectedKey;
    const char* expectedValue;
};

std::ostream& operator<<(std::ostream& os, const SplitCase& c) { return os << c.name; }

class SplitPathStepTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitPathStepTest, SplitsAtFirstAmpersandAndFollowingEquals)
{
    const SplitCase& c = GetParam();
    const SettingPathStep step = SplitPathStep(c.step);
    EXPECT_EQ(step.name, c.expectedName);
    EXPECT_EQ(step.key, c.expectedKey);
    EXPECT_EQ(step.value, c.expectedValue);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SplitPathStepTest,
    ::testing::Values(SplitCase{"name_only", "apn", "apn", "", ""},
                      SplitCase{"with_index", "mgmtconnection&index=3", "mgmtconnection", "index", "3"},
                      SplitCase{"equals_before_ampersand", "a=b&c", "a=b&c", "", ""},
                      SplitCase{"equals_before_and_after", "a=b&c=d", "a=b", "c", "d"},
                      SplitCase{"value_keeps_later_marks", "g&k=v&w=x", "g", "k", "v&w=x"},
                      SplitCase{"empty_key", "g&=4", "g", "", "4"},
                      SplitCase{"empty_value", "g&index=", "g", "index", ""}),
    test::CaseName());

TEST(FindChild, MatchesTypeAndNameCaseInsensitively)
{
    RciDocuments documents;
    documents.ParseState(R"(<r><query_state><a>1</a><!--a--><B>2</B><b>3</b></query_state></r>)");
    xmlNodePtr query = xmlDocGetRootElement(documents.StateDocument())->children;

    EXPECT_EQ(test::NodePath(FindChild(query, XML_ELEMENT_NODE, "b")), "/r/query_state/B");
    EXPECT_EQ(FindChild(query, XML_ELEMENT_NODE, "comment"), nullptr);
    EXPECT_EQ(FindChild(query, XML_COMMENT_NODE, "comment")->type, XML_COMMENT_NODE);
    EXPECT_EQ(FindChild(query, XML_ELEMENT_NODE, "c"), nullptr);
    EXPECT_EQ(FindChild(nullptr, XML_ELEMENT_NODE, "a"), nullptr);
}

TEST(FindNextSibling, StartsAfterTheGivenNode)
{
    RciDocuments documents;
    documents.ParseState(R"(<r><query_state><entry>1</entry><x/><ENTRY>2</ENTRY><entry>3</entry></query_state></r>)");
    xmlNodePtr first = documents.StateRoot();

    xmlNodePtr second = FindNextSibling(first, XML_ELEMENT_NODE, "entry");
    EXPECT_EQ(test::NodePath(second), "/r/query_state/ENTRY");
    xmlNodePtr third = FindNextSibling(second, XML_ELEMENT_NODE, "entry");
    EXPECT_EQ(test::NodePath(third), "/r/query_state/entry[2]");
    EXPECT_EQ(FindNextSibling(third, XML_ELEMENT_NODE, "entry"), nullptr);
    EXPECT_EQ(FindNextSibling(nullptr, XML_ELEMENT_NODE, "entry"), nullptr);
}

} // namespace
} // namespace tervane
