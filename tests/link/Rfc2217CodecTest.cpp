#include "Rfc2217Codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tervane::Rfc2217Codec;

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string out;
    for (const int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240, NOP = 241;
constexpr int BINARY = 0, ECHO = 1, SGA = 3, COMPORT = 44, LINEMODE = 34;

// The server's answers to the four line settings, as a pty-backed server gives them.
const std::string kAnswers = Bytes({IAC, SB, COMPORT, 101, 0, 1, 0xC2, 0, IAC, SE, IAC, SB, COMPORT, 102, 8, IAC, SE,
    IAC, SB, COMPORT, 103, 1, IAC, SE, IAC, SB, COMPORT, 104, 1, IAC, SE});

struct DecodeCase {
    const char* name;
    std::vector<std::string> reads; // what arrives, read by read
    std::string data;               // the data bytes that come out
    std::string reply;              // what the client answers
    bool lineAnswered = false;
    bool refused = false;
    uint32_t baudRate = 0;
};

class Rfc2217Decoding : public ::testing::TestWithParam<DecodeCase> { };

TEST_P(Rfc2217Decoding, GivesDataAndAnswers)
{
    const auto& c = GetParam();
    Rfc2217Codec codec;
    std::string data;
    std::string reply;
    for (std::string read : c.reads) {
        const std::size_t n = codec.Decode(read.data(), read.size(), reply);
        data.append(read.data(), n);
    }
    EXPECT_EQ(data, c.data);
    EXPECT_EQ(reply, c.reply);
    EXPECT_EQ(codec.LineAnswered(), c.lineAnswered);
    EXPECT_EQ(codec.ComPortRefused(), c.refused);
    EXPECT_EQ(codec.ServerLine().baudRate, c.baudRate);
}

INSTANTIATE_TEST_SUITE_P(Link, Rfc2217Decoding,
    ::testing::Values(DecodeCase {"PlainData", {"\r\nOK\r\n"}, "\r\nOK\r\n", ""},
        DecodeCase {"DoubledIac", {Bytes({'a', IAC, IAC, 'b'})}, Bytes({'a', IAC, 'b'}), ""},
        DecodeCase {"DoubledIacSplitAcrossReads", {Bytes({'a', IAC}), Bytes({IAC, 'b'})}, Bytes({'a', IAC, 'b'}), ""},
        DecodeCase {"NulAndHighBytesPass", {std::string("\x00\xfe\x80", 3)}, std::string("\x00\xfe\x80", 3), ""},
        DecodeCase {"OneByteCommandsCarryNothing", {Bytes({'O', IAC, NOP, 'K', IAC, 249})}, "OK", ""},
        // ser2net's greeting: our offers are taken, its echo refused, and the line settings
        // follow its taking the Com Port option.
        DecodeCase {"Ser2netGreeting",
            {Bytes({IAC, WILL, SGA, IAC, DO, SGA, IAC, WILL, ECHO, IAC, DONT, ECHO, IAC, DO, BINARY, IAC, WILL, BINARY,
                IAC, DO, COMPORT})},
            "", Bytes({IAC, DONT, ECHO}) + Rfc2217Codec::LineSettings()},
        DecodeCase {"RequestSplitAcrossReads", {Bytes({IAC}), Bytes({WILL}), Bytes({ECHO, 'x'})}, "x",
            Bytes({IAC, DONT, ECHO})},
        DecodeCase {"UnknownOptionsRefused", {Bytes({IAC, DO, LINEMODE, IAC, WILL, LINEMODE, IAC, DO, 200})}, "",
            Bytes({IAC, WONT, LINEMODE, IAC, DONT, LINEMODE, IAC, WONT, 200})},
        DecodeCase {"RepeatedAgreementNotAnsweredAgain",
            {Bytes({IAC, DO, SGA, IAC, DO, SGA, IAC, WILL, SGA, IAC, WILL, SGA})}, "", ""},
        DecodeCase {"OptionTurnedOffIsAcknowledgedOnce",
            {Bytes({IAC, WILL, BINARY, IAC, WONT, BINARY, IAC, WONT, BINARY, IAC, WILL, BINARY})}, "",
            Bytes({IAC, DONT, BINARY, IAC, DO, BINARY})},
        DecodeCase {"ComPortRefused", {Bytes({IAC, DONT, COMPORT})}, "", "", false, true},
        DecodeCase {"LineAnswered", {Bytes({IAC, DO, COMPORT}) + kAnswers}, "", Rfc2217Codec::LineSettings(), true,
            false, 115200},
        DecodeCase {"AnswersSplitInsideValuesAndEnd",
            {Bytes({IAC, DO, COMPORT, IAC, SB, COMPORT, 101, 0, 1}), Bytes({0xC2, 0, IAC}),
                Bytes({SE}) + kAnswers.substr(10, 9), kAnswers.substr(19)},
            "", Rfc2217Codec::LineSettings(), true, false, 115200},
        // A server that cannot change its port answers with what the port has.
        DecodeCase {"OtherValuesAccepted",
            {Bytes({IAC, SB, COMPORT, 101, 0, 0, 0x25, 0x80, IAC, SE, IAC, SB, COMPORT, 102, 7, IAC, SE, IAC, SB,
                COMPORT, 103, 3, IAC, SE, IAC, SB, COMPORT, 104, 2, IAC, SE})},
            "", "", true, false, 9600},
        DecodeCase {"EscapedIacInsideValue",
            {Bytes({IAC, SB, COMPORT, 101, 0, IAC, IAC, 0, 0, IAC, SE}), kAnswers.substr(10)}, "", "", true, false,
            0x00FF0000},
        DecodeCase {"NoticesBetweenDataIgnored",
            {Bytes({'A', IAC, SB, COMPORT, 107, 0x30, IAC, SE, 'T', IAC, SB, COMPORT, 112, 3, IAC, SE})}, "AT", ""},
        DecodeCase {"OverlongSubnegotiationDropped",
            {Bytes({IAC, SB, COMPORT, 101}) + std::string(100, '\x01') + Bytes({IAC, SE, 'o', 'k'})}, "ok", ""},
        DecodeCase {"SubnegotiationCutShortByCommand", {Bytes({IAC, SB, COMPORT, 101, 0, IAC, WILL, ECHO, 'z'})}, "z",
            Bytes({IAC, DONT, ECHO})}),
    [](const auto& row) { return std::string(row.param.name); });

struct EscapeCase {
    const char* name;
    std::string data;
    std::string wire;
    std::size_t wireWritten;
    std::size_t dataSent; // data bytes wholly written with wireWritten bytes on the wire
};

class Rfc2217Escaping : public ::testing::TestWithParam<EscapeCase> { };

TEST_P(Rfc2217Escaping, DoublesIacAndCountsWhatWasSent)
{
    const auto& c = GetParam();
    EXPECT_EQ(Rfc2217Codec::Escape(c.data), c.wire);
    EXPECT_EQ(Rfc2217Codec::DataBytesSent(c.data, c.wireWritten), c.dataSent);
    // What goes out decodes to what went in.
    Rfc2217Codec codec;
    std::string wire = c.wire;
    std::string reply;
    EXPECT_EQ(std::string(wire.data(), codec.Decode(wire.data(), wire.size(), reply)), c.data);
}

INSTANTIATE_TEST_SUITE_P(Link, Rfc2217Escaping,
    ::testing::Values(EscapeCase {"Plain", "AT\r\n", "AT\r\n", 4, 4},
        EscapeCase {"Iac", Bytes({'a', IAC, 'b'}), Bytes({'a', IAC, IAC, 'b'}), 4, 3},
        EscapeCase {"HalfOfAnEscape", Bytes({'a', IAC, 'b'}), Bytes({'a', IAC, IAC, 'b'}), 2, 1},
        EscapeCase {"WholeEscape", Bytes({'a', IAC, 'b'}), Bytes({'a', IAC, IAC, 'b'}), 3, 2},
        EscapeCase {"AllIac", Bytes({IAC, IAC}), Bytes({IAC, IAC, IAC, IAC}), 4, 2},
        EscapeCase {"Empty", "", "", 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Rfc2217Codec, OpeningOffersBinarySuppressGoAheadAndComPort)
{
    EXPECT_EQ(Rfc2217Codec::Opening(),
        Bytes({IAC, WILL, BINARY, IAC, DO, BINARY, IAC, WILL, SGA, IAC, DO, SGA, IAC, WILL, COMPORT}));
    EXPECT_EQ(Rfc2217Codec::LineSettings(),
        Bytes({IAC, SB, COMPORT, 1, 0, 1, 0xC2, 0, IAC, SE, IAC, SB, COMPORT, 2, 8, IAC, SE, IAC, SB, COMPORT, 3, 1,
            IAC, SE, IAC, SB, COMPORT, 4, 1, IAC, SE}));
    EXPECT_EQ(Rfc2217Codec::Purge(), Bytes({IAC, SB, COMPORT, 12, 3, IAC, SE}));
}

TEST(Rfc2217Codec, ResetForgetsTheLastConnection)
{
    Rfc2217Codec codec;
    std::string bytes = Bytes({IAC, DO, COMPORT}) + kAnswers + Bytes({IAC, SB});
    std::string reply;
    codec.Decode(bytes.data(), bytes.size(), reply);
    ASSERT_TRUE(codec.LineAnswered());
    codec.Reset();
    EXPECT_FALSE(codec.LineAnswered());
    // A new connection starts in data, and the line settings go out again.
    reply.clear();
    std::string next = Bytes({'x', IAC, DO, COMPORT});
    EXPECT_EQ(codec.Decode(next.data(), next.size(), reply), 1u);
    EXPECT_EQ(reply, Rfc2217Codec::LineSettings());
}

} // namespace
