#include "RciDocuments.h"
#include "SafeXml.h"
#include "SettingsPayload.h"
#include "TestSupport.h"
#include "XmlTestHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace tervane {
namespace {

struct PayloadCase {
    const char* name;
    std::string reply;
    std::string payload;
};

std::ostream& operator<<(std::ostream& os, const PayloadCase& c) { return os << c.name; }

class SettingsPayloadTest : public ::testing::TestWithParam<PayloadCase> {};

TEST_P(SettingsPayloadTest, IsTheDocumentAsTheDeviceReadsIt)
{
    RciDocuments documents;
    documents.ParseSettings(GetParam().reply);
    ASSERT_NE(documents.SettingsDocument(), nullptr) << documents.LastParseError();
    EXPECT_EQ(PrepareSettingsPayload(documents.SettingsDocument()), GetParam().payload);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, SettingsPayloadTest,
    ::testing::Values(
        PayloadCase{"standard_declaration_dropped",
                    R"(<rci_reply version="1.1"><query_setting><mgmtconnection index="3"><connectionEnabled>on</connectionEnabled></mgmtconnection></query_setting></rci_reply>)",
                    "<rci_request version='1.1'><set_setting><mgmtconnection index='3'><connectionEnabled>on</connectionEnabled>"
                    "</mgmtconnection></set_setting></rci_request>"},
        PayloadCase{"white_space_kept", "<r>\n <query_setting>\n  <a>1</a>\n </query_setting>\n</r>\n",
                    "<rci_request>\n <set_setting>\n  <a>1</a>\n </set_setting>\n</rci_request>"},
        PayloadCase{"double_quote_in_text", "<r><query_setting><a>say \"hi\"</a></query_setting></r>",
                    "<rci_request><set_setting><a>say &quot;hi&quot;</a></set_setting></rci_request>"},
        PayloadCase{"escaped_quote_in_attribute", "<r><query_setting><a n=\"x&quot;y\"/></query_setting></r>",
                    "<rci_request><set_setting><a n='x&quot;y'/></set_setting></rci_request>"},
        // Left as it is, the quote would end the single-quoted value early.
        PayloadCase{"single_quote_in_attribute", "<r><query_setting><a n=\"it's\"/></query_setting></r>",
                    "<rci_request><set_setting><a n='it&apos;s'/></set_setting></rci_request>"},
        PayloadCase{"single_quote_in_text", "<r><query_setting><a>it's</a></query_setting></r>",
                    "<rci_request><set_setting><a>it's</a></set_setting></rci_request>"},
        PayloadCase{"comment_and_cdata_quotes", "<r><query_setting><!-- \"c\" 'd' --><a><![CDATA[\"x\" 'y']]></a></query_setting></r>",
                    "<rci_request><set_setting><!-- 'c' 'd' --><a><![CDATA['x' 'y']]></a></set_setting></rci_request>"},
        PayloadCase{"non_ascii_as_reference", "<r><query_setting><a>caf\xc3\xa9</a></query_setting></r>",
                    "<rci_request><set_setting><a>caf&#xE9;</a></set_setting></rci_request>"},
        PayloadCase{"declaration_with_encoding_sent_along",
                    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r v=\"1\"><query_setting><a>caf\xe9</a></query_setting></r>",
                    "<?xml version=\"1.0\" encoding='ISO-8859-1'?>\n<rci_request v='1'><set_setting><a>caf\xe9</a></set_setting></rci_request>"},
        PayloadCase{"other_version_sent_along", "<?xml version=\"1.1\"?><r><query_setting/></r>",
                    "<?xml version=\"1.1\"?>\n<rci_request><set_setting/></rci_request>"}),
    test::CaseName());

TEST(SettingsPayload, NoDocumentGivesNoPayload)
{
    EXPECT_EQ(PrepareSettingsPayload(nullptr), std::nullopt);
}

struct DumpCase {
    const char* name;
    std::string dump;
    std::string payload;
};

std::ostream& operator<<(std::ostream& os, const DumpCase& c) { return os << c.name; }

class PayloadFromDumpTest : public ::testing::TestWithParam<DumpCase> {};

TEST_P(PayloadFromDumpTest, AppliesTheTextualSteps)
{
    EXPECT_EQ(PayloadFromDump(GetParam().dump), GetParam().payload);
}

INSTANTIATE_TEST_SUITE_P(
    Dumps, PayloadFromDumpTest,
    ::testing::Values(DumpCase{"empty", "", ""}, DumpCase{"line_end_only", "\n", ""},
                      DumpCase{"declaration_only", "<?xml version=\"1.0\"?>\n", ""},
                      DumpCase{"declaration_and_element", "<?xml version=\"1.0\"?>\n<a b=\"c\"/>\n", "<a b='c'/>"},
                      DumpCase{"short_text_untouched", "<a b=\"c\"/>\n", "<a b=\"c\"/>"},
                      DumpCase{"no_declaration_quotes_after_22", "<abcdefghijklmnopq x=\"1\" y=\"2\"/>\n",
                               "<abcdefghijklmnopq x=\"1' y='2'/>"}),
    test::CaseName());

TEST(SettingsPayload, RadioSettingsCarryTheirDoCommand)
{
    RciDocuments documents;
    documents.ParseRadioSettings(
        R"(<rci_reply version="1.1"><do_command target="zigbee"><query_setting><radio><node_id>gw</node_id></radio></query_setting></do_command></rci_reply>)");
    EXPECT_EQ(PrepareSettingsPayload(documents.RadioSettingsDocument()),
              "<rci_request version='1.1'><do_command target='zigbee'><set_setting><radio><node_id>gw</node_id></radio>"
              "</set_setting></do_command></rci_request>");
}

// A backup is the settings document as xmlSaveFile writes it; restoring it sends the same
// request the settings document would have given.
TEST(SettingsPayload, BackupFileGivesTheSamePayload)
{
    RciDocuments documents;
    documents.ParseSettings(
        R"(<rci_reply version="1.1"><query_setting><mobile_simple><apn>a&amp;b</apn><pin/></mobile_simple></query_setting></rci_reply>)");
    const std::string path = test::MakeScratchDir("settings-payload") + "/backup.cfg";
    ASSERT_GT(xmlSaveFile(path.c_str(), documents.SettingsDocument()), 0);

    const XmlDocument restored = ReadUntrustedXmlFile(path);
    ASSERT_TRUE(restored);
    EXPECT_EQ(PrepareSettingsPayload(restored.get()), PrepareSettingsPayload(documents.SettingsDocument()));
}

} // namespace
} // namespace tervane
