#include "BindingTable.h"
#include "ChoiceList.h"
#include "RciDocuments.h"
#include "SettingPath.h"
#include "SettingsPayload.h"
#include "XmlTestHelpers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace tervane {
namespace {

using namespace std::string_literals;

constexpr FieldId kField = 100;
constexpr int32_t kControl = 1075;

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Prefixed(std::string_view text)
{
    return "en://" + std::string(text);
}

// A settings document whose only group holds the given setting elements.
std::string Reply(const std::string& group)
{
    return "<rci_reply><query_setting><g>" + group + "</g></query_setting></rci_reply>";
}

struct LoadCase {
    const char* name;
    std::string group;
    std::string path;
    uint32_t kind;
    BindConverter converter;
    std::string text;  // field text afterwards ("keep" was there before)
    int32_t number;    // field number afterwards (7 was there before)
    bool shown;
};

std::ostream& operator<<(std::ostream& os, const LoadCase& c) { return os << c.name; }

class LoadBindingsTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadBindingsTest, SetsTheFieldAndShowsTheControl)
{
    const LoadCase& c = GetParam();
    RciDocuments documents;
    documents.ParseSettings(Reply(c.group));
    ASSERT_NE(documents.SettingsRoot(), nullptr);
    FieldStore fields;
    fields.SetText(kField, "keep");
    fields.SetInt(kField, 7);
    std::vector<int32_t> shown;
    const BindingTable table{{c.path, kField, kControl, {}, c.kind, c.converter, nullptr}};

    LoadBindings([&](int32_t id) { shown.push_back(id); }, table, fields, documents.SettingsRoot());

    EXPECT_EQ(fields.Text(kField), c.text);
    EXPECT_EQ(fields.Int(kField), c.number);
    EXPECT_EQ(shown, c.shown ? std::vector<int32_t>{kControl} : std::vector<int32_t>{});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LoadBindingsTest,
    ::testing::Values(
        LoadCase{"text", "<v>internet</v>", "g/v", BIND_TEXT, nullptr, "internet", 7, true},
        LoadCase{"text_empty_element", "<v/>", "g/v", BIND_TEXT, nullptr, "", 7, true},
        LoadCase{"text_missing", "<w>x</w>", "g/v", BIND_TEXT, nullptr, "keep", 7, false},
        LoadCase{"text_escaped_in_reply", "<v>p&amp;w&lt;&quot;&apos;&gt;</v>", "g/v", BIND_TEXT, nullptr, "p&w<\"'>", 7, true},
        LoadCase{"text_character_reference", "<v>caf&#xE9;</v>", "g/v", BIND_TEXT, nullptr, "caf\xc3\xa9", 7, true},
        LoadCase{"text_cdata", "<v><![CDATA[a<b&c]]></v>", "g/v", BIND_TEXT, nullptr, "a<b&c", 7, true},
        LoadCase{"text_first_child_only", "<v>ab<!--c-->cd</v>", "g/v", BIND_TEXT, nullptr, "ab", 7, true},
        LoadCase{"text_blanks_kept", "<v>  a b  </v>", "g/v", BIND_TEXT, nullptr, "  a b  ", 7, true},
        LoadCase{"text_converter", "<v>abc</v>", "g/v", BIND_TEXT, Upper, "ABC", 7, true},
        LoadCase{"text_with_choices", "<v>9600</v>", "g/v", BIND_TEXT | BIND_CHOICES, nullptr, "9600", 7, true},
        LoadCase{"int", "<v>3725</v>", "g/v", BIND_INT, nullptr, "keep", 3725, true},
        LoadCase{"int_then_letters", "<v>12abc</v>", "g/v", BIND_INT, nullptr, "keep", 12, true},
        LoadCase{"int_negative_with_blanks", "<v> \t-32768</v>", "g/v", BIND_INT, nullptr, "keep", -32768, true},
        LoadCase{"int_no_number", "<v>abc</v>", "g/v", BIND_INT, nullptr, "keep", 0, true},
        LoadCase{"int_empty_element", "<v/>", "g/v", BIND_INT, nullptr, "keep", 7, true},
        LoadCase{"int_too_large", "<v>99999999999</v>", "g/v", BIND_INT, nullptr, "keep", 2147483647, true},
        LoadCase{"onoff_on_capital", "<v>On</v>", "g/v", BIND_ONOFF, nullptr, "keep", 1, true},
        LoadCase{"onoff_off", "<v>OFF</v>", "g/v", BIND_ONOFF, nullptr, "keep", 0, true},
        LoadCase{"onoff_other_word", "<v>yes</v>", "g/v", BIND_ONOFF, nullptr, "keep", 7, true},
        LoadCase{"onoff_with_blank", "<v>on </v>", "g/v", BIND_ONOFF, nullptr, "keep", 7, true},
        LoadCase{"text_wins_over_int", "<v>12</v>", "g/v", BIND_TEXT | BIND_INT, nullptr, "12", 7, true},
        LoadCase{"int_wins_over_onoff", "<v>on</v>", "g/v", BIND_INT | BIND_ONOFF, nullptr, "keep", 0, true},
        LoadCase{"choices_alone", "<v>x</v>", "g/v", BIND_CHOICES, nullptr, "keep", 7, true}),
    test::CaseName());

struct StoreCase {
    const char* name;
    std::string group;
    std::string path;
    uint32_t kind;
    BindConverter converter;
    std::string text;
    int32_t number;
    std::string payloadGroup;  // the group as the payload carries it afterwards
};

std::ostream& operator<<(std::ostream& os, const StoreCase& c) { return os << c.name; }

class StoreBindingsTest : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoreBindingsTest, WritesTheFieldIntoTheElement)
{
    const StoreCase& c = GetParam();
    RciDocuments documents;
    documents.ParseSettings(Reply(c.group));
    FieldStore fields;
    fields.SetText(kField, c.text);
    fields.SetInt(kField, c.number);
    const BindingTable table{{c.path, kField, kControl, {}, c.kind, nullptr, c.converter}};

    StoreBindings(table, fields, documents.SettingsRoot());

    EXPECT_EQ(PrepareSettingsPayload(documents.SettingsDocument()).value_or("<none>"),
              "<rci_request><set_setting><g>" + c.payloadGroup + "</g></set_setting></rci_request>");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StoreBindingsTest,
    ::testing::Values(
        StoreCase{"text", "<v>old</v>", "g/v", BIND_TEXT, nullptr, "internet", 0, "<v>internet</v>"},
        StoreCase{"text_into_empty_element", "<v/>", "g/v", BIND_TEXT, nullptr, "x", 0, "<v>x</v>"},
        StoreCase{"text_empty", "<v>old</v>", "g/v", BIND_TEXT, nullptr, "", 0, "<v/>"},
        StoreCase{"text_markup_characters", "<v/>", "g/v", BIND_TEXT, nullptr, "a&b<c>d", 0, "<v>a&amp;b&lt;c&gt;d</v>"},
        StoreCase{"text_entity_lookalike", "<v/>", "g/v", BIND_TEXT, nullptr, "&amp;&#65;", 0, "<v>&amp;amp;&amp;#65;</v>"},
        StoreCase{"text_double_quote", "<v/>", "g/v", BIND_TEXT, nullptr, "say \"hi\"", 0, "<v>say &quot;hi&quot;</v>"},
        StoreCase{"text_non_ascii", "<v/>", "g/v", BIND_TEXT, nullptr, "caf\xc3\xa9", 0, "<v>caf&#xE9;</v>"},
        StoreCase{"text_latin1_bytes", "<v/>", "g/v", BIND_TEXT, nullptr, "\xe9t\xe9", 0, "<v>&#xE9;t&#xE9;</v>"},
        StoreCase{"text_control_characters_dropped", "<v/>", "g/v", BIND_TEXT, nullptr, "a\x01\x1b" "b\tc", 0, "<v>ab\tc</v>"},
        StoreCase{"text_replaces_children", "<v>a<x>1</x><!--c--></v>", "g/v", BIND_TEXT, nullptr, "b", 0, "<v>b</v>"},
        StoreCase{"text_converter", "<v/>", "g/v", BIND_TEXT, Prefixed, "server2", 0, "<v>en://server2</v>"},
        StoreCase{"text_converter_on_empty", "<v>en://a</v>", "g/v", BIND_TEXT, Prefixed, "", 0, "<v>en://</v>"},
        StoreCase{"int", "<v>1</v>", "g/v", BIND_INT, nullptr, "", 3725, "<v>3725</v>"},
        StoreCase{"int_minus_one", "<v>1</v>", "g/v", BIND_INT, nullptr, "", -1, "<v>-1</v>"},
        StoreCase{"onoff_on", "<v>off</v>", "g/v", BIND_ONOFF, nullptr, "", 1, "<v>on</v>"},
        StoreCase{"onoff_off", "<v>on</v>", "g/v", BIND_ONOFF, nullptr, "", 0, "<v>off</v>"},
        StoreCase{"onoff_other_value", "<v>on</v>", "g/v", BIND_ONOFF, nullptr, "", 2, "<v>on</v>"},
        StoreCase{"choices_alone", "<v>a</v>", "g/v", BIND_CHOICES, nullptr, "b", 1, "<v>a</v>"},
        StoreCase{"missing_element_not_created", "<v>a</v>", "g/w", BIND_TEXT, nullptr, "b", 0, "<v>a</v>"}),
    test::CaseName());

class TextRoundTripTest : public ::testing::TestWithParam<std::string> {};

// Store, serialise, parse as a reply again, load: the field comes back as typed.
TEST_P(TextRoundTripTest, ComesBackAsTyped)
{
    RciDocuments documents;
    documents.ParseSettings(Reply("<v>old</v>"));
    FieldStore fields;
    fields.SetText(kField, GetParam());
    const BindingTable table{{"g/v", kField, 0, {}, BIND_TEXT, nullptr, nullptr}};
    StoreBindings(table, fields, documents.SettingsRoot());

    const std::string dump = test::DumpDocument(documents.SettingsDocument());
    std::string error;
    const XmlDocument reread = ReadUntrustedXml(dump, "t.xml", &error);
    ASSERT_TRUE(reread) << error << "\n" << dump;
    xmlNodePtr set = FindChild(xmlDocGetRootElement(reread.get()), XML_ELEMENT_NODE, "set_setting");
    ASSERT_NE(set, nullptr);
    FieldStore loaded;
    LoadBindings({}, table, loaded, set->children);
    EXPECT_EQ(loaded.Text(kField), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Texts, TextRoundTripTest,
                         ::testing::Values("&"s, "&amp;"s, "<tag>"s, "\"quoted\""s, "it's"s, "]]>"s, "a&b<c>d\"e'f"s,
                                           "caf\xc3\xa9"s, "\xe6\x97\xa5\xe6\x9c\xac"s, "\xf0\x9f\x93\xa1"s, "tab\there"s,
                                           "line\nfeed"s, "cr\r\nlf"s, "  blanks  "s, "%s%d"s));

TEST(BindingTable, OnlyTheTerminatorDoesNothing)
{
    RciDocuments documents;
    documents.ParseSettings(Reply("<v>a</v>"));
    const std::string before = test::DumpDocument(documents.SettingsDocument());
    FieldStore fields;
    fields.SetText(kField, "b");
    bool shown = false;
    const BindingTable terminatorOnly{{"", kField, kControl, {}, BIND_TEXT, nullptr, nullptr},
                                      {"g/v", kField, kControl, {}, BIND_TEXT, nullptr, nullptr}};

    LoadBindings([&](int32_t) { shown = true; }, terminatorOnly, fields, documents.SettingsRoot());
    StoreBindings(terminatorOnly, fields, documents.SettingsRoot());
    StoreBindings({}, fields, documents.SettingsRoot());

    EXPECT_FALSE(shown);
    EXPECT_EQ(fields.Text(kField), "b");
    EXPECT_EQ(test::DumpDocument(documents.SettingsDocument()), before);
}

TEST(BindingTable, NoRootSkipsEveryRow)
{
    FieldStore fields;
    fields.SetText(kField, "keep");
    bool shown = false;
    const BindingTable table{{"g/v", kField, kControl, {}, BIND_TEXT, nullptr, nullptr}};
    LoadBindings([&](int32_t) { shown = true; }, table, fields, nullptr);
    StoreBindings(table, fields, nullptr);
    EXPECT_FALSE(shown);
    EXPECT_EQ(fields.Text(kField), "keep");
}

TEST(BindingTable, TwoRowsOnOneElement)
{
    RciDocuments documents;
    documents.ParseSettings(Reply("<v>first</v>"));
    FieldStore fields;
    const BindingTable table{{"g/v", 1, 0, {}, BIND_TEXT, nullptr, nullptr},
                             {"G/V", 2, 0, {}, BIND_TEXT, nullptr, nullptr}};
    LoadBindings({}, table, fields, documents.SettingsRoot());
    EXPECT_EQ(fields.Text(1), "first");
    EXPECT_EQ(fields.Text(2), "first");

    fields.SetText(1, "one");
    fields.SetText(2, "two");
    StoreBindings(table, fields, documents.SettingsRoot());
    LoadBindings({}, table, fields, documents.SettingsRoot());
    EXPECT_EQ(fields.Text(1), "two");
}

// One table for two documents: each load and store touches only the rows the given
// document holds, and a later load overrides an earlier one for a field bound twice.
TEST(BindingTable, OneTableServesTwoDocuments)
{
    RciDocuments documents;
    documents.ParseState(
        "<r><query_state><zigbee_state><gateway_addr>00:13</gateway_addr><ext_pan_id>0x1</ext_pan_id></zigbee_state></query_state></r>");
    documents.ParseRadioSettings(
        "<r><do_command target=\"zigbee\"><query_setting><radio><ext_pan_id>0x2</ext_pan_id><node_id/></radio></query_setting></do_command></r>");
    enum : FieldId { Address = 1, PanId = 2, NodeId = 3 };
    const BindingTable table{{"zigbee_state/gateway_addr", Address, 1062, {}, BIND_TEXT, nullptr, nullptr},
                             {"zigbee_state/ext_pan_id", PanId, 1065, {}, BIND_TEXT, nullptr, nullptr},
                             {"radio/ext_pan_id", PanId, 1065, {}, BIND_TEXT, nullptr, nullptr},
                             {"radio/node_id", NodeId, 1070, {}, BIND_TEXT, nullptr, nullptr}};
    FieldStore fields;
    std::set<int32_t> shown;
    const ShowControl show = [&](int32_t id) { shown.insert(id); };

    LoadBindings(show, table, fields, documents.StateRoot());
    EXPECT_EQ(fields.Text(PanId), "0x1");
    EXPECT_EQ(shown, (std::set<int32_t>{1062, 1065}));
    LoadBindings(show, table, fields, documents.RadioSettingsRoot());
    EXPECT_EQ(fields.Text(PanId), "0x2");
    EXPECT_EQ(shown, (std::set<int32_t>{1062, 1065, 1070}));

    fields.SetText(Address, "changed");
    fields.SetText(NodeId, "gw");
    StoreBindings(table, fields, documents.RadioSettingsRoot());
    EXPECT_EQ(PrepareSettingsPayload(documents.RadioSettingsDocument()),
              "<rci_request><do_command target='zigbee'><set_setting><radio><ext_pan_id>0x2</ext_pan_id>"
              "<node_id>gw</node_id></radio></set_setting></do_command></rci_request>");
}

struct DecimalCase {
    const char* name;
    std::string text;
    int32_t value;
};

std::ostream& operator<<(std::ostream& os, const DecimalCase& c) { return os << c.name; }

class ReadDecimalTest : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(ReadDecimalTest, ReadsLikeAtoi)
{
    EXPECT_EQ(ReadDecimal(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadDecimalTest,
    ::testing::Values(DecimalCase{"plain", "252", 252}, DecimalCase{"leading_white_space", " \t\n\v\f\r42", 42},
                      DecimalCase{"plus", "+7", 7}, DecimalCase{"minus", "-32768", -32768},
                      DecimalCase{"trailing_letters", "12abc", 12}, DecimalCase{"empty", "", 0},
                      DecimalCase{"letters", "abc", 0}, DecimalCase{"sign_only", "-", 0},
                      DecimalCase{"sign_then_blank", "- 5", 0}, DecimalCase{"hex_is_zero", "0x1f", 0},
                      DecimalCase{"int_max", "2147483647", 2147483647},
                      DecimalCase{"above_int_max", "2147483648", 2147483647},
                      DecimalCase{"int_min", "-2147483648", -2147483647 - 1},
                      DecimalCase{"below_int_min", "-99999999999999999999", -2147483647 - 1}),
    test::CaseName());

TEST(FieldStore, UnsetFieldsReadEmptyAndZero)
{
    FieldStore fields;
    EXPECT_EQ(fields.Text(5), "");
    EXPECT_EQ(fields.Int(5), 0);
    EXPECT_FALSE(fields.Contains(5));
    fields.SetInt(5, -3);
    EXPECT_TRUE(fields.Contains(5));
    EXPECT_EQ(fields.Int(5), -3);
    EXPECT_EQ(fields.Text(5), "");
}

struct ChoiceCase {
    const char* name;
    std::string text;
    int index;
};

std::ostream& operator<<(std::ostream& os, const ChoiceCase& c) { return os << c.name; }

class FindChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(FindChoiceTest, PicksTheFirstEntryBeginningWithTheText)
{
    const auto entries = SplitChoices("None\nOdd\nEven\n9600\n96");
    EXPECT_EQ(FindChoice(entries, GetParam().text), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Texts, FindChoiceTest,
                         ::testing::Values(ChoiceCase{"exact", "Odd", 1}, ChoiceCase{"lower_case", "none", 0},
                                           ChoiceCase{"prefix", "Ev", 2}, ChoiceCase{"first_of_two", "96", 3},
                                           ChoiceCase{"longer_than_entry", "115200", -1},
                                           ChoiceCase{"empty_picks_first", "", 0}),
                         test::CaseName());

TEST(SplitChoices, SplitsAtLineFeeds)
{
    EXPECT_EQ(SplitChoices("850 MHz\n900 MHz"), (std::vector<std::string>{"850 MHz", "900 MHz"}));
    EXPECT_EQ(SplitChoices("a\n\nb\n"), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_TRUE(SplitChoices("").empty());
}

} // namespace
} // namespace tervane
