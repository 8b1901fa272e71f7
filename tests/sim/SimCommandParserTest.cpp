#include "SimCommandParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tervane::sim {
namespace {

struct Expected {
    SimInput::Kind kind;
    std::string text;
    std::string echo;
};

struct LineCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<Expected> inputs; // in order; the last one may need the port to settle
};

class LineSplitting : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSplitting, GivesEachCommandWithItsEcho)
{
    SimCommandParser parser;
    std::vector<SimInput> got;
    for (const std::string& chunk : GetParam().chunks) {
        parser.Feed(chunk);
        while (auto input = parser.Next())
            got.push_back(*input);
    }
    if (parser.AwaitingSettle()) {
        if (auto input = parser.Settle())
            got.push_back(*input);
    }
    EXPECT_FALSE(parser.AwaitingSettle());
    ASSERT_EQ(got.size(), GetParam().inputs.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].kind, GetParam().inputs[i].kind) << i;
        EXPECT_EQ(got[i].text, GetParam().inputs[i].text) << i;
        EXPECT_EQ(got[i].echo, GetParam().inputs[i].echo) << i;
    }
}

constexpr auto kLine = SimInput::Kind::Line;

INSTANTIATE_TEST_SUITE_P(
    Commands, LineSplitting,
    ::testing::Values(
        LineCase{"cr_lf", {"AT+CGMI\r\n"}, {{kLine, "AT+CGMI", "AT+CGMI\r\n"}}},
        LineCase{"cr_only", {"AT+CSQ\r"}, {{kLine, "AT+CSQ", "AT+CSQ\r"}}},
        LineCase{"doubled_line_end_belongs_to_the_command", {"AT\r\n\r\n"}, {{kLine, "AT", "AT\r\n\r\n"}}},
        LineCase{"line_feed_arriving_late", {"AT+CGSN\r", "\n"}, {{kLine, "AT+CGSN", "AT+CGSN\r\n"}}},
        LineCase{"command_in_pieces", {"at&usb", "interface=22", "\r\n"},
                 {{kLine, "at&usbinterface=22", "at&usbinterface=22\r\n"}}},
        LineCase{"two_commands_at_once", {"AT\r\nAT+CREG?\r\n"},
                 {{kLine, "AT", "AT\r\n"}, {kLine, "AT+CREG?", "AT+CREG?\r\n"}}},
        LineCase{"stray_line_ends_carry_nothing", {"\r\n\r\n"}, {}},
        LineCase{"unfinished_line_waits", {"AT+CG"}, {}},
        LineCase{"byte_by_byte", {"A", "T", "+", "C", "S", "Q", "\r", "\n", "\r", "A", "T", "\r"},
                 {{kLine, "AT+CSQ", "AT+CSQ\r\n\r"}, {kLine, "AT", "AT\r"}}},
        LineCase{"empty_lines_dropped_before_a_command_in_pieces", {"\r\r\nA", "T++C", "SQ\r\n"},
                 {{kLine, "AT++CSQ", "AT++CSQ\r\n"}}},
        LineCase{"many_commands_in_one_piece_after_a_partial_one", {"AT+C", "GMI\rAT\rAT+CSQ\rAT+CNUM\r"},
                 {{kLine, "AT+CGMI", "AT+CGMI\r"},
                  {kLine, "AT", "AT\r"},
                  {kLine, "AT+CSQ", "AT+CSQ\r"},
                  {kLine, "AT+CNUM", "AT+CNUM\r"}}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SimCommandParser, BareRequestEndsWithItsClosingTagWithoutLineEnd)
{
    SimCommandParser parser;
    parser.ExpectRawRequest();
    parser.Feed("<rci_request version='1.1'><query_setting/>");
    EXPECT_FALSE(parser.Next());
    parser.Feed("</RCI_REQUEST>AT\r\n");
    auto request = parser.Next();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->kind, SimInput::Kind::RawRequest);
    EXPECT_EQ(request->text, "<rci_request version='1.1'><query_setting/></RCI_REQUEST>");
    EXPECT_EQ(request->echo, request->text);
    // What follows is commands again.
    auto next = parser.Next();
    if (!next)
        next = parser.Settle();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->kind, SimInput::Kind::Line);
    EXPECT_EQ(next->text, "AT");
}

TEST(SimCommandParser, BareRequestByteByByteFindsTheClosingTagAcrossPieces)
{
    const std::string request = "<rci_request version='1.1'><ls dir='/WEB/python'/></Rci_Request>";
    const std::string stream = "\r\n" + request + "AT\r";
    SimCommandParser parser;
    parser.ExpectRawRequest();
    std::vector<SimInput> got;
    for (char c : stream) {
        parser.Feed(std::string(1, c));
        while (auto input = parser.Next())
            got.push_back(*input);
    }
    if (auto input = parser.Settle())
        got.push_back(*input);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, SimInput::Kind::RawRequest);
    EXPECT_EQ(got[0].text, request);
    EXPECT_EQ(got[0].echo, "\r\n" + request);
    EXPECT_EQ(got[1].kind, SimInput::Kind::Line);
    EXPECT_EQ(got[1].text, "AT");
}

TEST(SimCommandParser, CommandInsteadOfBareRequestIsTakenAsCommand)
{
    SimCommandParser parser;
    parser.ExpectRawRequest();
    parser.Feed("AT+CGMI\r\n");
    EXPECT_FALSE(parser.Next());
    auto line = parser.Settle();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->kind, SimInput::Kind::Line);
    EXPECT_EQ(line->text, "AT+CGMI");
    EXPECT_FALSE(parser.InTransfer());
}

TEST(SimCommandParser, UploadDataIsExactlyTheAnnouncedBytes)
{
    SimCommandParser parser;
    parser.ExpectData(6);
    parser.Feed("\r\nA");
    EXPECT_FALSE(parser.Next());
    parser.Feed("B\rC");
    parser.Feed("AT\r");
    auto data = parser.Next();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->kind, SimInput::Kind::Data);
    EXPECT_EQ(data->text, std::string("\r\nAB\rC"));
    EXPECT_TRUE(data->echo.empty());
    EXPECT_FALSE(parser.InTransfer());
    EXPECT_EQ(parser.Settle()->text, "AT");
}

TEST(SimCommandParser, EmptyUploadIsCompleteAtOnce)
{
    SimCommandParser parser;
    parser.ExpectData(0);
    auto data = parser.Next();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->kind, SimInput::Kind::Data);
    EXPECT_TRUE(data->text.empty());
}

TEST(SimCommandParser, AbandonedTransfers)
{
    SimCommandParser upload;
    upload.ExpectData(10);
    upload.Feed("abc");
    auto abandoned = upload.Abandon();
    ASSERT_TRUE(abandoned);
    EXPECT_EQ(abandoned->kind, SimInput::Kind::Abandoned);
    EXPECT_FALSE(upload.InTransfer());

    SimCommandParser neverStarted;
    neverStarted.ExpectRawRequest();
    EXPECT_FALSE(neverStarted.Abandon());
    EXPECT_FALSE(neverStarted.InTransfer());

    SimCommandParser halfRequest;
    halfRequest.ExpectRawRequest();
    halfRequest.Feed("<rci_request>");
    EXPECT_TRUE(halfRequest.Abandon());
}

} // namespace
} // namespace tervane::sim
