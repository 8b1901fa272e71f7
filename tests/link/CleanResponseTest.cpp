#include "CleanResponse.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>

namespace {

struct CleanCase {
    const char* name;
    std::string command;
    std::string raw;
    std::string cleaned;
    bool result;
};

void PrintTo(const CleanCase& c, std::ostream* os)
{
    *os << c.name;
}

class CleanResponseCases : public ::testing::TestWithParam<CleanCase> { };

TEST_P(CleanResponseCases, CleansAsTheDeviceFramesAnswers)
{
    const auto& c = GetParam();
    std::string cleaned = "left over";
    EXPECT_EQ(tervane::CleanResponse(c.command, c.raw, cleaned), c.result);
    EXPECT_EQ(cleaned, c.cleaned);
    // Cleaned where it lies, the answer comes out the same.
    std::string inPlace = c.raw;
    EXPECT_EQ(tervane::CleanResponse(c.command, inPlace), c.result);
    EXPECT_EQ(inPlace, c.cleaned);
}

const std::string ack = std::string("\r\n\x06\r\n");

INSTANTIATE_TEST_SUITE_P(Table, CleanResponseCases,
    ::testing::Values(CleanCase {"echo_value_ok", "AT+CGMI\r\n", "AT+CGMI\r\n\r\nWAVECOM MODEM\r\n\r\nOK\r\n",
                          "WAVECOM MODEM", true},
        CleanCase {"error_ending", "AT+CIMI\r\n", "AT+CIMI\r\n\r\nERROR\r\n", "", false},
        CleanCase {"error_then_ok", "X\r\n", "abc\r\nERROR\r\nOK\r\n", "abc\r\nERROR", true},
        CleanCase {"sleep", "SLEEP", "SLEEP", "", true},
        CleanCase {"ack_ending", "AT\r\n", "AT\r\nvalue" + ack, "value", true},
        CleanCase {"one_pyprint_span", "AT\r\n", "AT\r\nab<pyPrint>hello</pyPrint>cd\r\nOK\r\n", "abcd", true},
        CleanCase {"two_pyprint_spans", "", "<pyPrint>1</pyPrint>a<pyPrint>2</pyPrint>b", "ab", true},
        CleanCase {"unclosed_pyprint_stays", "", "a<pyPrint>b", "a<pyPrint>b", true},
        CleanCase {"close_before_open_stays", "", "</pyPrint>a<pyPrint>b", "</pyPrint>a<pyPrint>b", true},
        CleanCase {"usb_span", "", "x<usb>transfer 10%</usb>y\r\nOK\r\n", "xy", true},
        CleanCase {"usb_span_inside_pyprint_removed", "", "a<pyPrint><usb>q</usb></pyPrint>b", "ab", true},
        CleanCase {"tag_formed_at_the_join", "", "<pyP<pyPrint>x</pyPrint>rint>hidden</pyPrint>shown", "shown", true},
        CleanCase {"usb_tag_formed_by_pyprint_removal", "", "<us<pyPrint>z</pyPrint>b>hid</usb>ok", "ok", true},
        CleanCase {"tags_are_case_sensitive", "", "a<PYPRINT>b</PYPRINT>", "a<PYPRINT>b</PYPRINT>", true},
        CleanCase {"three_characters", "AT\r\n", "K\r\n", "K", true},
        CleanCase {"no_echo_keeps_first_line", "AT+CGSN\r\n", "at+cgsn\r\n123\r\n\r\nOK\r\n", "at+cgsn\r\n123", true},
        CleanCase {"tabs_not_trimmed", "", "\t value \t\r\n", "\t value \t", true},
        CleanCase {"ok_not_at_end_stays", "", "OK\r\nmore", "OK\r\nmore", true},
        CleanCase {"empty", "AT\r\n", "", "", true},
        CleanCase {"nul_bytes_kept", "", std::string("a\0b\r\nOK\r\n", 9), std::string("a\0b", 3), true},
        CleanCase {"cut_off_answer", "AT+CSQ\r\n", "AT+CSQ\r\n\r\n+CSQ: 1", "+CSQ: 1", true},
        // Each removal can join what was before it to what follows, again and again, reaching
        // back over several beginnings of a tag.
        CleanCase {"joins_reach_back_over_tag_beginnings", "",
            "Q<pyPr<pyP<pyPrint>1</pyPrint>rint>2</pyPrint>int>3</pyPrint>shown", "Qshown", true},
        CleanCase {"usb_tags_joined_twice", "", "a<u<us<usb>1</usb>b>2</usb>sb>3</usb>z", "az", true},
        CleanCase {"usb_close_joined_by_pyprint_removal", "", "a<usb>q</u<pyPrint>z</pyPrint>sb>b", "ab", true},
        CleanCase {"result_code_joined_by_removal", "", "value\r\nO<usb>x</usb>K\r\n", "value", true},
        CleanCase {"pyprint_span_inside_the_echo", "AT+X\r\n", "AT+<pyPrint>noise</pyPrint>X\r\nvalue\r\nOK\r\n",
            "value", true},
        CleanCase {"usb_span_inside_the_echo", "AT+Q\r\n", "AT+<usb>zz</usb>Q\r\nres\r\nOK\r\n", "res", true},
        CleanCase {"echo_ends_in_an_unclosed_usb_tag", "AT<usb>", "AT<usb>x", "x", true},
        CleanCase {"echo_differs_inside_a_usb_span", "AT+Q", "AT<usb>+Q</usb>+R", "AT+R", true},
        CleanCase {"usb_span_among_leading_blanks", "AT\r\n", "AT\r\n\r\n<usb>x</usb> \r\nvalue\r\nOK\r\n", "value",
            true},
        CleanCase {"only_blanks", "AT\r\n", " \r\n \r\n", "", true},
        CleanCase {"only_blanks_after_the_echo", "AT\r\n", "AT\r\n \r\n\r\n", "", true},
        CleanCase {"differing_echo_begins_with_blanks", " \r\nAT", " \r\nAX\r\n", "AX", true},
        // The result code is cut before the echo is looked for: a command that ends like a
        // result code has no room for its echo.
        CleanCase {"echo_overlaps_the_result_code", "xOK", "xOK\r\n", "x", true},
        CleanCase {"ack_among_blanks_after_the_echo", "AT", "AT \r\n\x06\r\n", "", true},
        CleanCase {"answer_is_a_beginning_of_the_command", "AT+CGMI\r\n", "AT+C", "AT+C", true}),
    [](const ::testing::TestParamInfo<CleanCase>& row) { return std::string(row.param.name); });

TEST(CleanResponse, CleanedTextNeverLongerThanRaw)
{
    std::string raw;
    for (int i = 0; i < 200; ++i)
        raw += "<pyPrint>" + std::to_string(i) + "</pyPrint> \r\n";
    std::string cleaned;
    tervane::CleanResponse("", raw, cleaned);
    EXPECT_LE(cleaned.size(), raw.size());
    EXPECT_EQ(cleaned, "");
}

// A long answer made of unclosed opening tags is the worst case for a cleaner that
// searches again from the start after every removal; this one makes one pass. Beginnings
// of a tag are all held back until the end, as a removal could still join them.
TEST(CleanResponse, ManyUnclosedTagsStayLinear)
{
    for (const std::string tag : {"<pyPrint>", "<usb>", "<pyP", "<"}) {
        SCOPED_TRACE(tag);
        std::string raw;
        for (int i = 0; i < 200000; ++i)
            raw += tag;
        std::string cleaned;
        EXPECT_TRUE(tervane::CleanResponse("", raw, cleaned));
        EXPECT_EQ(cleaned, raw);
    }
}

} // namespace

namespace {

// The cleaning steps done the slow, literal way: remove the first span again and again.
std::string RemoveSpansLiterally(std::string text, const std::string& open, const std::string& close)
{
    for (;;) {
        const auto o = text.find(open);
        if (o == std::string::npos)
            return text;
        const auto c = text.find(close, o + open.size());
        if (c == std::string::npos)
            return text;
        text.erase(o, c + close.size() - o);
    }
}

TEST(CleanResponse, AgreesWithTheLiteralStepsOnMixedTagPieces)
{
    const std::string pieces[] = {"<pyPrint>", "</pyPrint>", "<pyP", "rint>", "</py", "Print>", "<usb>", "</usb>",
        "<us", "b>", "</u", "sb>", "x", "\r\n", "OK\r\n", "ERROR\r\n"};
    unsigned seed = 12345;
    for (int round = 0; round < 20000; ++round) {
        std::string raw;
        const int count = static_cast<int>(seed % 12);
        for (int i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            raw += pieces[(seed >> 16) % std::size(pieces)];
        }
        seed = seed * 1103515245u + 12345u;
        std::string expected =
            RemoveSpansLiterally(RemoveSpansLiterally(raw, "<pyPrint>", "</pyPrint>"), "<usb>", "</usb>");
        std::string viaCleaning;
        std::string expectedCleaned;
        tervane::CleanResponse("", expected, expectedCleaned);
        tervane::CleanResponse("", raw, viaCleaning);
        ASSERT_EQ(viaCleaning, expectedCleaned) << "raw: " << raw;
    }
}

} // namespace
