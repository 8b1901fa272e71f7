#include "RciDocuments.h"
#include "SafeXml.h"
#include "SettingsPayload.h"
#include "TestSupport.h"
#include "XmlPrescan.h"
#include "XmlText.h"
#include "XmlTestHelpers.h"

#include <libxml/parserInternals.h>

#include <gtest/gtest.h>

#include <string>

namespace tervane {
namespace {

using namespace std::string_literals;

std::string BillionLaughs()
{
    std::string doctype = "<!DOCTYPE rci_reply [<!ENTITY l0 \"lol\">";
    for (int i = 1; i <= 9; ++i)
        doctype += "<!ENTITY l" + std::to_string(i) + " \"" +
                   [&] { std::string refs; for (int k = 0; k < 10; ++k) refs += "&l" + std::to_string(i - 1) + ";"; return refs; }() +
                   "\">";
    return doctype + "]><rci_reply><query_setting><a>&l9;</a></query_setting></rci_reply>";
}

std::string DeepNesting(int depth)
{
    std::string reply = "<rci_reply><query_setting>";
    for (int i = 0; i < depth; ++i)
        reply += "<g>";
    for (int i = 0; i < depth; ++i)
        reply += "</g>";
    return reply + "</query_setting></rci_reply>";
}

struct HostileCase {
    const char* name;
    std::string reply;
};

std::ostream& operator<<(std::ostream& os, const HostileCase& c) { return os << c.name; }

class HostileReplyTest : public ::testing::TestWithParam<HostileCase> {};

// Every one of these leaves no settings document and prints nothing. An entity expansion
// would not finish at all within the test's time-out.
TEST_P(HostileReplyTest, IsRefusedWithoutOutput)
{
    RciDocuments documents;
    documents.ParseSettings("<r><query_setting><earlier/></query_setting></r>");
    ::testing::internal::CaptureStderr();
    documents.ParseSettings(GetParam().reply);
    const std::string stderrText = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(documents.SettingsDocument(), nullptr);
    EXPECT_EQ(documents.SettingsRoot(), nullptr);
    EXPECT_FALSE(documents.LastParseError().empty());
    EXPECT_EQ(stderrText, "");
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HostileReplyTest,
    ::testing::Values(
        HostileCase{"external_entity",
                    R"(<!DOCTYPE r [<!ENTITY x SYSTEM "file:///etc/passwd">]><r><query_setting><a>&x;</a></query_setting></r>)"},
        HostileCase{"external_dtd", R"(<!DOCTYPE r SYSTEM "file:///etc/passwd"><r><query_setting><a/></query_setting></r>)"},
        HostileCase{"network_dtd",
                    R"(<!DOCTYPE r PUBLIC "-//x//y" "http://192.0.2.1/x.dtd"><r><query_setting><a/></query_setting></r>)"},
        HostileCase{"parameter_entity",
                    R"(<!DOCTYPE r [<!ENTITY % p SYSTEM "file:///etc/passwd"> %p;]><r><query_setting/></r>)"},
        HostileCase{"billion_laughs", BillionLaughs()},
        HostileCase{"empty_internal_subset", "<!DOCTYPE r []><r><query_setting><a/></query_setting></r>"},
        HostileCase{"undeclared_entity", "<r><query_setting><a>&x;</a></query_setting></r>"},
        HostileCase{"deep_nesting", DeepNesting(5000)},
        HostileCase{"nul_inside", "<r><query_setting><a>x\0y</a></query_setting></r>"s},
        HostileCase{"invalid_utf8", "<r><query_setting><a>\xff\xfe</a></query_setting></r>"},
        HostileCase{"truncated", "<r><query_setting><a>x</a></query_sett>"},
        HostileCase{"two_roots", "<r><query_setting/></r><r/>"},
        HostileCase{"encoding_conversion_error",
                    "<?xml version=\"1.0\" encoding=\"EUC-JP\"?><r><query_setting><a>\xff\xff\xff</a></query_setting></r>"},
        HostileCase{"attribute_heavy_element", "<r><query_setting " + [] {
                        std::string attributes;
                        for (int i = 0; i < 20000; ++i)
                            attributes += " a" + std::to_string(i) + "='1'";
                        return attributes;
                    }() + "/></r>"},
        HostileCase{"over_size_limit", "<r>" + std::string(kMaxXmlInputBytes, 'a') + "</r>"}),
    test::CaseName());

TEST(SafeXml, DoctypeRefusalIsNamedInTheError)
{
    std::string error;
    EXPECT_FALSE(ReadUntrustedXml(R"(<!DOCTYPE r SYSTEM "file:///etc/passwd"><r/>)", "t.xml", &error));
    EXPECT_NE(error.find("document type"), std::string::npos) << error;
}

TEST(SafeXml, ErrorsWithoutAParserContextBecomeTheReason)
{
    std::string error;
    EXPECT_FALSE(ReadUntrustedXml("<?xml version=\"1.0\" encoding=\"SHIFT_JIS\"?><r>\x81\xff</r>", "t.xml", &error));
    EXPECT_NE(error.find("input conversion failed"), std::string::npos) << error;
}

TEST(SafeXml, AttributeHeavyElementIsRefusedNamingTheLimit)
{
    std::string attributes;
    for (std::size_t i = 0; i <= kMaxXmlAttributesPerElement; ++i)
        attributes += " a" + std::to_string(i) + "='1'";
    std::string error;
    EXPECT_FALSE(ReadUntrustedXml("<r" + attributes + "/>", "t.xml", &error));
    EXPECT_EQ(error, "an element holds more than 32 attributes");
}

TEST(SafeXml, ParseErrorTextNamesTheLine)
{
    std::string error;
    EXPECT_FALSE(ReadUntrustedXml("<r>\n<a></b></r>", "t.xml", &error));
    EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
}

TEST(SafeXml, ExternalEntityLoaderRefusesEverything)
{
    EXPECT_TRUE(ReadUntrustedXml("<r/>", "t.xml"));
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    xmlParserInputPtr input = xmlLoadExternalEntity("file:///etc/passwd", nullptr, ctxt);
    EXPECT_EQ(input, nullptr);
    if (input != nullptr)
        xmlFreeInputStream(input);
    xmlFreeParserCtxt(ctxt);
}

TEST(SafeXml, XIncludeIsNotProcessed)
{
    const XmlDocument doc = ReadUntrustedXml(
        R"(<r xmlns:xi="http://www.w3.org/2001/XInclude"><xi:include href="file:///etc/passwd" parse="text"/></r>)", "t.xml");
    ASSERT_TRUE(doc);
    EXPECT_EQ(test::DumpDocument(doc.get()).find("root:"), std::string::npos);
}

TEST(SafeXml, LargeTextValueWithinLimitIsKept)
{
    const std::string value(1000000, 'v');
    const XmlDocument doc = ReadUntrustedXml("<r><a>" + value + "</a></r>", "t.xml");
    ASSERT_TRUE(doc);
    const XmlString content(xmlNodeGetContent(xmlDocGetRootElement(doc.get())));
    EXPECT_EQ(XmlView(content.get()).size(), value.size());
}

TEST(SafeXml, EncodingDeclarationIsHonoured)
{
    const XmlDocument doc = ReadUntrustedXml("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>caf\xe9</r>", "t.xml");
    ASSERT_TRUE(doc);
    const XmlString content(xmlNodeGetContent(xmlDocGetRootElement(doc.get())));
    EXPECT_EQ(XmlView(content.get()), "caf\xc3\xa9");
}

// A reply that spells UTF-8 another way ("UTF-8.") is read as UTF-8, and settings in an
// encoding libxml2 does not write itself ("UTF-7.") are sent back as UTF-8: through the
// system's converter a long text lost characters where the converter's pieces met (found
// by fuzzing).
TEST(SafeXml, SettingsSentBackKeepEveryCharacterWhateverTheReplysEncoding)
{
    for (const char* name : {"UTF-8.", "utf_8", "UTF-7."})
    for (const std::size_t shift : {0, 1}) {
        SCOPED_TRACE(std::string(name) + " shifted by " + std::to_string(shift));
        RciDocuments documents;
        documents.ParseSettings(std::string("<?xml version=\"1.0\" encoding=\"") + name
            + "\"?><rci_reply><query_setting><system><description>x</description></system></query_setting></rci_reply>");
        ASSERT_NE(documents.SettingsRoot(), nullptr);
        std::string value(shift, 'x');
        for (int i = 0; i < 6000; ++i)
            value += "\xc3\xbf";
        SetElementText(documents.SettingsRoot()->children, value);
        const std::optional<std::string> payload = PrepareSettingsPayload(documents.SettingsDocument());
        ASSERT_TRUE(payload);
        EXPECT_EQ(payload->find("\xef\xbf\xbd"), std::string::npos) << "a character was replaced";
        EXPECT_NE(payload->find(value), std::string::npos);
    }
}

class SafeXmlFileTest : public ::testing::Test {
protected:
    std::string m_dir = test::MakeScratchDir("settings-safexml");
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = m_dir + "/" + name;
        EXPECT_TRUE(test::WriteWholeFile(path, bytes));
        return path;
    }
};

TEST_F(SafeXmlFileTest, ReadsAWellFormedFile)
{
    std::string error = "stale";
    const XmlDocument doc = ReadUntrustedXmlFile(
        Write("backup.cfg", "<?xml version=\"1.0\"?>\n<rci_request><set_setting><a>1</a></set_setting></rci_request>\n"), &error);
    ASSERT_TRUE(doc);
    EXPECT_EQ(error, "");
}

TEST_F(SafeXmlFileTest, RefusesWhatARepliesAreRefusedFor)
{
    std::string error;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(ReadUntrustedXmlFile(Write("entity.cfg", BillionLaughs()), &error));
    EXPECT_FALSE(ReadUntrustedXmlFile(Write("broken.cfg", "<rci_request><set_setting>"), &error));
    EXPECT_FALSE(ReadUntrustedXmlFile(m_dir + "/missing.cfg", &error));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(error.find("missing.cfg"), std::string::npos) << error;
}

TEST_F(SafeXmlFileTest, DoesNotDecompress)
{
    // "<r/>" packed with gzip: libxml2's own file reader would unpack and accept it.
    const std::string packed = "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xb3\x29\xd2\xb7\x03\x00\xfd\x01\xb1\x1f\x04\x00\x00\x00"s;
    const std::string path = Write("packed.cfg", packed);
    EXPECT_FALSE(ReadUntrustedXmlFile(path));
    EXPECT_TRUE(ReadUntrustedXmlFile(Write("plain.cfg", "<r/>")));
}

} // namespace
} // namespace tervane
