#include "CommandText.h"
#include "JsonWriter.h"
#include "ProcedureSteps.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <gtest/gtest.h>

#include <string>

namespace tervane {
namespace {

struct QuoteCase {
    const char* name;
    std::string bytes;
    std::string expected;
};

// Test names say which row it is; the bytes of the row say nothing.
void PrintTo(const QuoteCase& row, std::ostream* out)
{
    *out << row.name;
}

class JsonQuoteTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(JsonQuoteTest, Escapes)
{
    EXPECT_EQ(JsonQuote(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, JsonQuoteTest,
    ::testing::Values(
        QuoteCase{"plain", "internet.apn", "\"internet.apn\""},
        QuoteCase{"quoteAndBackslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
        QuoteCase{"lineEnds", "OK\r\n\t", "\"OK\\r\\n\\t\""},
        QuoteCase{"otherControls", std::string("\x01\x1f\x7f\b\f", 5), "\"\\u0001\\u001f\\u007f\\b\\f\""},
        QuoteCase{"zeroByte", std::string("a\0b", 3), "\"a\\u0000b\""},
        QuoteCase{"validUtf8Kept", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa1", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa1\""},
        QuoteCase{"latin1ByteEscaped", "caf\xe9", "\"caf\\u00e9\""},
        QuoteCase{"loneContinuation", "\x80x", "\"\\u0080x\""},
        QuoteCase{"truncatedSequence", "\xe2\x82", "\"\\u00e2\\u0082\""},
        QuoteCase{"overlongSlash", "\xc0\xaf", "\"\\u00c0\\u00af\""},
        QuoteCase{"encodedSurrogate", "\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},
        QuoteCase{"beyondUnicode", "\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},
        QuoteCase{"lineSeparator", "\xe2\x80\xa8", "\"\\u2028\""},
        QuoteCase{"c1ControlInUtf8", "\xc2\x9b" "2J\xc2\x85", "\"\\u009b2J\\u0085\""},
        QuoteCase{"rawC1Byte", "\x9b" "2J", "\"\\u009b2J\""},
        QuoteCase{"firstAfterC1Kept", "\xc2\xa0", "\"\xc2\xa0\""}),
    [](const ::testing::TestParamInfo<QuoteCase>& row) { return std::string(row.param.name); });

// What reaches a terminal or the inventory record: C0 and C1 controls escaped (or "?"), the
// C1 ones whether they come as UTF-8 (U+0080 to U+009F) or as stray bytes 0x80 to 0x9F;
// other valid UTF-8, continuation bytes 0x80 to 0xBF included, is kept.
struct DisplayCase {
    const char* name;
    std::string bytes;
    std::string escaped;  // EscapeForDisplay
    std::string shown;    // ShownName
};

void PrintTo(const DisplayCase& row, std::ostream* out)
{
    *out << row.name;
}

class DisplayEscapeTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayEscapeTest, EscapesControlsKeepsText)
{
    EXPECT_EQ(EscapeForDisplay(GetParam().bytes), GetParam().escaped);
    EXPECT_EQ(ShownName(GetParam().bytes), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, DisplayEscapeTest,
    ::testing::Values(DisplayCase {"plain", "main.py", "main.py", "main.py"},
        DisplayCase {"c0", "a\x1b[2J", "a\\x1b[2J", "a?[2J"},
        DisplayCase {"rawCsi", "a\x9b" "2J", "a\\x9b2J", "a?2J"},
        DisplayCase {"utf8Csi", "a\xc2\x9b" "2J", "a\\xc2\\x9b2J", "a?2J"},
        DisplayCase {"utf8Nel", "\xc2\x85", "\\xc2\\x85", "?"},
        DisplayCase {"euroHasContinuation0x82", "\xe2\x82\xac", "\xe2\x82\xac", "\xe2\x82\xac"},
        DisplayCase {"nbspKept", "\xc2\xa0", "\xc2\xa0", "\xc2\xa0"},
        DisplayCase {"latin1Kept", "caf\xe9", "caf\xe9", "caf\xe9"},
        DisplayCase {"truncatedSequence", "\xe2\x82", "\xe2\\x82", "\xe2?"}),
    [](const ::testing::TestParamInfo<DisplayCase>& row) { return std::string(row.param.name); });

QJsonDocument Parse(const std::string& text)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
    return document;
}

TEST(JsonWriterTest, NestedDocumentParsesBack)
{
    JsonValue files = JsonValue::Array();
    JsonValue file = JsonValue::Object();
    file.Set("name", "main.py");
    file.Set("size", 50LL);
    files.Append(file);
    JsonValue document = JsonValue::Object();
    document.Set("ok", true);
    document.Set("exitStatus", 0);
    document.Set("missing", JsonValue());
    document.Set("files", files);
    document.Set("empty", JsonValue::Array());
    document.Set("none", JsonValue::Object());
    document.Set("ok", false); // replaces in place

    const QJsonObject object = Parse(WriteJson(document)).object();
    EXPECT_EQ(object.keys().size(), 6);
    EXPECT_FALSE(object["ok"].toBool(true));
    EXPECT_EQ(object["exitStatus"].toInt(-1), 0);
    EXPECT_TRUE(object["missing"].isNull());
    EXPECT_EQ(object["files"].toArray().at(0).toObject()["name"].toString(), "main.py");
    EXPECT_EQ(object["files"].toArray().at(0).toObject()["size"].toInt(), 50);
    EXPECT_TRUE(object["empty"].toArray().isEmpty());
    EXPECT_TRUE(object["none"].toObject().isEmpty());
    EXPECT_EQ(WriteJson(document).rfind("{\n  \"ok\": false,", 0), 0u) << "members keep their order";
}

// Members added without a search are found, and replaced in their place, like set ones.
TEST(JsonWriterTest, AddedMembersBehaveAsSetOnes)
{
    JsonValue object = JsonValue::Object();
    object.Reserve(2);
    object.AddNew("a", 1);
    object.AddNew("b", 2);
    object.Set("a", 3);
    object.AddNew("c", 4);
    ASSERT_NE(object.Find("c"), nullptr);
    EXPECT_EQ(object.Find("c")->IntegerValue(), 4);
    EXPECT_EQ(object.Find("d"), nullptr);
    const JsonValue copy = object;
    object.Set("b", 5);
    EXPECT_EQ(WriteJson(object), "{\n  \"a\": 3,\n  \"b\": 5,\n  \"c\": 4\n}");
    EXPECT_EQ(copy.Find("b")->IntegerValue(), 2);
}

// Whatever bytes a device sends, the document stays valid JSON; valid UTF-8 comes back as it was.
TEST(JsonWriterTest, EveryByteGivesValidJson)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    JsonValue document = JsonValue::Object();
    document.Set("bytes", all);
    document.Set(std::string("name\xff\n", 6), "key bytes are escaped too");
    document.Set("text", "Ravlo \xe2\x80\x93 caf\xc3\xa9");
    const QJsonObject object = Parse(WriteJson(document)).object();

    const QString bytes = object["bytes"].toString();
    ASSERT_EQ(bytes.size(), 256);
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(bytes.at(c).unicode(), c) << "byte " << c << " reads as Latin-1";
    EXPECT_TRUE(object.contains(QString::fromLatin1("name\xff\n")));
    EXPECT_EQ(object["text"].toString().toStdString(), "Ravlo \xe2\x80\x93 caf\xc3\xa9");
}

} // namespace
} // namespace tervane
