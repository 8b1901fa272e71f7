#include "RciDocuments.h"
#include "SettingsPayload.h"
#include "XmlTestHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tervane {
namespace {

std::string PayloadOf(xmlDoc* doc)
{
    return PrepareSettingsPayload(doc).value_or("<none>");
}

struct SettingsCase {
    const char* name;
    std::string reply;
    std::string payload;     // of the held document; "<none>" when none is held
    std::string firstGroup;  // first element of the settings root's list; "" when the root is none
};

std::ostream& operator<<(std::ostream& os, const SettingsCase& c) { return os << c.name; }

class ParseSettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(ParseSettingsTest, ReshapesIntoASetRequest)
{
    const SettingsCase& c = GetParam();
    RciDocuments documents;
    documents.ParseSettings("<rci_reply><query_setting><old/></query_setting></rci_reply>");
    documents.ParseSettings(c.reply);
    EXPECT_EQ(PayloadOf(documents.SettingsDocument()), c.payload);
    EXPECT_EQ(test::FirstElementName(documents.SettingsRoot()), c.firstGroup);
    if (c.firstGroup.empty()) {
        EXPECT_EQ(documents.SettingsRoot(), nullptr);
    }
    EXPECT_EQ(documents.LastParseError().empty(), documents.SettingsDocument() != nullptr);
    EXPECT_TRUE(documents.RadioPageFlag());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ParseSettingsTest,
    ::testing::Values(
        SettingsCase{"plain",
                     R"(<rci_reply version="1.1"><query_setting><mobile_simple><apn>internet</apn></mobile_simple></query_setting></rci_reply>)",
                     "<rci_request version='1.1'><set_setting><mobile_simple><apn>internet</apn></mobile_simple></set_setting></rci_request>",
                     "mobile_simple"},
        SettingsCase{"cut_from_first_lt_to_last_gt",
                     "junk > before\r\n<rci_reply><query_setting><serial/></query_setting></rci_reply>\r\nOK tail",
                     "<rci_request><set_setting><serial/></set_setting></rci_request>", "serial"},
        SettingsCase{"query_setting_in_capitals", "<rci_reply><QUERY_SETTING><python/></QUERY_SETTING></rci_reply>",
                     "<rci_request><set_setting><python/></set_setting></rci_request>", "python"},
        SettingsCase{"two_query_settings",
                     "<rci_reply><query_setting><a/></query_setting><query_setting><b/></query_setting></rci_reply>",
                     "<rci_request><set_setting><a/></set_setting><query_setting><b/></query_setting></rci_request>", "a"},
        SettingsCase{"query_setting_after_other_nodes",
                     "<rci_reply>text<!--c--><error/><Query_Setting><a/></Query_Setting></rci_reply>",
                     "<rci_request>text<!--c--><error/><set_setting><a/></set_setting></rci_request>", "a"},
        SettingsCase{"nested_query_setting_not_found", "<rci_reply><x><query_setting><a/></query_setting></x></rci_reply>",
                     "<rci_request><x><query_setting><a/></query_setting></x></rci_request>", ""},
        SettingsCase{"empty_query_setting", "<rci_reply><query_setting/></rci_reply>",
                     "<rci_request><set_setting/></rci_request>", ""},
        SettingsCase{"empty_response", "", "<none>", ""},
        SettingsCase{"error_text_only", "ERROR", "<none>", ""},
        SettingsCase{"gt_before_lt", "> <", "<none>", ""},
        SettingsCase{"single_character", ">", "<none>", ""},
        SettingsCase{"truncated", "<rci_reply><query_setting><mobile_simple><apn>inter>", "<none>", ""}),
    test::CaseName());

struct StateCase {
    const char* name;
    std::string reply;
    bool held;
    std::string firstGroup;
};

std::ostream& operator<<(std::ostream& os, const StateCase& c) { return os << c.name; }

class ParseStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(ParseStateTest, FindsTheStateRootWithoutRenaming)
{
    const StateCase& c = GetParam();
    RciDocuments documents;
    documents.ParseState("<r><query_state><old/></query_state></r>");
    documents.ParseState(c.reply);
    EXPECT_EQ(documents.StateDocument() != nullptr, c.held);
    EXPECT_EQ(test::FirstElementName(documents.StateRoot()), c.firstGroup);
    if (c.held) {
        const std::string dump = test::DumpDocument(documents.StateDocument());
        EXPECT_EQ(dump.find("rci_request"), std::string::npos) << dump;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ParseStateTest,
    ::testing::Values(
        StateCase{"plain", "<rci_reply><query_state><device_info><firmware>1.2</firmware></device_info></query_state></rci_reply>",
                  true, "device_info"},
        StateCase{"capitals", "<rci_reply><Query_State> <zigbee_state/></Query_State></rci_reply>", true, "zigbee_state"},
        StateCase{"no_query_state", "<rci_reply><query_setting><a/></query_setting></rci_reply>", true, ""},
        StateCase{"empty_response", "", false, ""},
        StateCase{"truncated", "<rci_reply><query_state><a>", false, ""}),
    test::CaseName());

constexpr const char* kRadioReply =
    R"(<rci_reply version="1.1"><do_command target="zigbee"><query_setting><radio><ext_pan_id>0x0</ext_pan_id></radio></query_setting></do_command></rci_reply>)";

TEST(ParseRadioSettings, ReshapesTheQueryInsideDoCommand)
{
    RciDocuments documents;
    documents.ParseRadioSettings(kRadioReply);
    EXPECT_EQ(PayloadOf(documents.RadioSettingsDocument()),
              "<rci_request version='1.1'><do_command target='zigbee'><set_setting><radio><ext_pan_id>0x0</ext_pan_id>"
              "</radio></set_setting></do_command></rci_request>");
    EXPECT_EQ(test::FirstElementName(documents.RadioSettingsRoot()), "radio");
    EXPECT_TRUE(documents.RadioPageFlag());
}

struct RadioCase {
    const char* name;
    std::string reply;
    bool radioPageFlag;
    bool keepsEarlierDocument;
    bool held;  // when the earlier document is not kept: whether a new one is held
    std::string firstGroup;
};

std::ostream& operator<<(std::ostream& os, const RadioCase& c) { return os << c.name; }

class ParseRadioSettingsTest : public ::testing::TestWithParam<RadioCase> {};

TEST_P(ParseRadioSettingsTest, ReplacesTheDocumentOrClearsTheFlag)
{
    const RadioCase& c = GetParam();
    RciDocuments documents;
    documents.ParseRadioSettings(kRadioReply);
    xmlDocPtr earlier = documents.RadioSettingsDocument();
    ASSERT_NE(earlier, nullptr);

    documents.ParseRadioSettings(c.reply);
    EXPECT_EQ(documents.RadioPageFlag(), c.radioPageFlag);
    if (c.keepsEarlierDocument) {
        EXPECT_EQ(documents.RadioSettingsDocument(), earlier);
    } else {
        EXPECT_EQ(documents.RadioSettingsDocument() != nullptr, c.held);
    }
    EXPECT_EQ(test::FirstElementName(documents.RadioSettingsRoot()), c.firstGroup);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ParseRadioSettingsTest,
    ::testing::Values(
        RadioCase{"not_configured",
                  "<rci_reply><do_command target=\"zigbee\"><error>Currently not configured or supported</error></do_command></rci_reply>",
                  false, true, true, "radio"},
        // A device may send the text alone; the cut text is then empty, the answer is not.
        RadioCase{"not_configured_bare", "Currently not configured or supported", false, true, true, "radio"},
        RadioCase{"not_configured_bare_with_line_ends", "\r\nCurrently not configured or supported\r\n", false, true,
            true, "radio"},
        RadioCase{"empty_response", "", true, false, false, ""},
        RadioCase{"capitals", "<r><DO_COMMAND><Query_Setting><radio/></Query_Setting></DO_COMMAND></r>", true, false, true, "radio"},
        RadioCase{"no_do_command", "<r><query_setting><radio/></query_setting></r>", true, false, true, ""},
        RadioCase{"no_query_setting", "<r><do_command><radio/></do_command></r>", true, false, true, ""}),
    test::CaseName());

TEST(RciDocuments, FreeAllLeavesEveryDocumentAndRootNone)
{
    RciDocuments documents;
    documents.ParseSettings("<r><query_setting><a/></query_setting></r>");
    documents.ParseState("<r><query_state><a/></query_state></r>");
    documents.ParseRadioSettings(kRadioReply);
    documents.FreeAll();
    EXPECT_EQ(documents.SettingsDocument(), nullptr);
    EXPECT_EQ(documents.SettingsRoot(), nullptr);
    EXPECT_EQ(documents.StateDocument(), nullptr);
    EXPECT_EQ(documents.StateRoot(), nullptr);
    EXPECT_EQ(documents.RadioSettingsDocument(), nullptr);
    EXPECT_EQ(documents.RadioSettingsRoot(), nullptr);
}

// Each reply that gives no document is told, with the query it answered and why; replies
// that give one, and the radio's not-configured answer, are not.
TEST(RciDocuments, ParseFailuresAreNoted)
{
    RciDocuments documents;
    std::vector<std::string> notes;
    documents.SetParseFailureNote([&notes](std::string_view note) { notes.emplace_back(note); });

    documents.ParseSettings("<rci_reply><query_setting><a/></query_setting></rci_reply>");
    documents.ParseState("<rci_reply><query_state/></rci_reply>");
    documents.ParseRadioSettings("Currently not configured or supported");
    EXPECT_TRUE(notes.empty());

    documents.ParseSettings("<rci_reply><query_setting></rci_reply>");
    documents.ParseState("no reply at all");
    documents.ParseRadioSettings("<!DOCTYPE r [<!ENTITY e 'x'>]><r>&e;</r>");
    documents.ParseSettings("<" + std::string(100000, 'n') + "></x>");
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[0].rfind("The device's answer to the settings query could not be read: line 1: ", 0), 0u) << notes[0];
    EXPECT_EQ(notes[1].rfind("The device's answer to the state query could not be read: ", 0), 0u) << notes[1];
    EXPECT_EQ(notes[2].rfind("The device's answer to the radio settings query could not be read: ", 0), 0u);
    EXPECT_EQ(documents.RadioSettingsParseError(), notes[2].substr(notes[2].find(": ") + 2));
    EXPECT_LE(documents.SettingsParseError().size(), kMaxParseErrorLength + 3) << "a quoted name is cut";
}

TEST(RciDocuments, InstanceIsOneObject)
{
    EXPECT_EQ(&RciDocuments::Instance(), &RciDocuments::Instance());
    EXPECT_TRUE(RciDocuments::Instance().RadioPageFlag());
}

} // namespace
} // namespace tervane
