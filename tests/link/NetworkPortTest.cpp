#include "NetworkPort.h"
#include "SerialLink.h"
#include "SerialPort.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>

using tervane::OpenFailure;
using tervane::PortUrl;
using tervane::Rfc2217Codec;

namespace {

struct UrlCase {
    const char* name;
    std::string text;
    std::optional<PortUrl::Scheme> scheme; // nothing: does not read as a network port
    std::string host;
    std::string port;
};

class PortUrls : public ::testing::TestWithParam<UrlCase> { };

TEST_P(PortUrls, ReadAsSchemeHostAndPort)
{
    const auto& c = GetParam();
    const auto url = tervane::ParsePortUrl(c.text);
    ASSERT_EQ(url.has_value(), c.scheme.has_value());
    if (!url)
        return;
    EXPECT_EQ(url->scheme, *c.scheme);
    EXPECT_EQ(url->host, c.host);
    EXPECT_EQ(url->port, c.port);
}

INSTANTIATE_TEST_SUITE_P(Link, PortUrls,
    ::testing::Values(UrlCase {"Socket", "socket://127.0.0.1:4001", PortUrl::Scheme::Socket, "127.0.0.1", "4001"},
        UrlCase {"Rfc2217", "rfc2217://bench-7:65535", PortUrl::Scheme::Rfc2217, "bench-7", "65535"},
        UrlCase {"Ipv6", "socket://[::1]:4001", PortUrl::Scheme::Socket, "::1", "4001"},
        UrlCase {"DevicePath", "/dev/ttyACM0", std::nullopt, "", ""},
        UrlCase {"NoPort", "socket://127.0.0.1", std::nullopt, "", ""},
        UrlCase {"PortZero", "socket://127.0.0.1:0", std::nullopt, "", ""},
        UrlCase {"PortTooLarge", "socket://127.0.0.1:65536", std::nullopt, "", ""},
        UrlCase {"PortNotANumber", "socket://127.0.0.1:40x1", std::nullopt, "", ""},
        UrlCase {"Path", "socket://127.0.0.1:4001/x", std::nullopt, "", ""},
        UrlCase {"NoHost", "socket://:4001", std::nullopt, "", ""},
        UrlCase {"UserInfo", "socket://u@127.0.0.1:4001", std::nullopt, "", ""},
        UrlCase {"ControlInHost", "socket://a\x1b[2Jb:4001", std::nullopt, "", ""},
        UrlCase {"UnclosedBracket", "socket://[::1:4001", std::nullopt, "", ""}),
    [](const auto& row) { return std::string(row.param.name); });

// A loopback TCP socket on a port the system chose; listening or not.
class LoopbackServer {
public:
    explicit LoopbackServer(bool listening)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        if (listening) {
            EXPECT_EQ(::listen(m_fd, 4), 0);
        }
    }
    ~LoopbackServer()
    {
        if (m_client >= 0)
            ::close(m_client);
        ::close(m_fd);
    }
    std::string Url(const std::string& scheme = "socket") const
    {
        return scheme + "://127.0.0.1:" + std::to_string(m_port);
    }
    void Accept() { m_client = AcceptOne(); }
    int AcceptOne() const { return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC); }
    void StopListening() { ::shutdown(m_fd, SHUT_RDWR); }
    std::string ReadUntil(const std::string& end)
    {
        std::string got;
        char c;
        while (got.size() < end.size() || got.compare(got.size() - end.size(), end.size(), end) != 0) {
            if (::read(m_client, &c, 1) != 1)
                break;
            got += c;
        }
        return got;
    }
    void Write(const std::string& bytes)
    {
        EXPECT_EQ(::write(m_client, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    void Hangup()
    {
        ::close(m_client);
        m_client = -1;
    }

private:
    int m_fd = -1;
    int m_client = -1;
    int m_port = 0;
};

TEST(NetworkPort, LinkExchangesCommandsOverRawTcpAndSeesTheServerHangUp)
{
    LoopbackServer server(true);
    tervane::FastClock clock {100};
    tervane::SerialLink link {clock};
    link.SetPortName(server.Url());
    ASSERT_TRUE(link.OpenPortNoDrain()) << tervane::DescribeOpenFailure(server.Url(), link.LastOpenFailure());
    server.Accept();
    // Every byte value passes as it is, 0xFF and NUL among them.
    const std::string command = std::string("AT+X=\xff\x00\xfe", 8) + "\r\n";
    ASSERT_TRUE(link.SendCommand(command));
    EXPECT_EQ(server.ReadUntil("\r\n"), command);
    server.Write("\r\nOK\r\n");
    std::string raw;
    EXPECT_TRUE(link.ReadResponse(command, raw, 1000, 20000, false, nullptr));
    EXPECT_EQ(raw, "\r\nOK\r\n");
    EXPECT_EQ(link.LastReadEnd(), tervane::ReadEnd::ResultCode);
    // A restart of the device: the server drops the connection and takes the next one; the
    // read that waits for it ends reconnected, and the new connection carries the next command.
    server.Hangup();
    raw.clear();
    link.ReadResponse("AT\r\n", raw, 1000, 2000, true, nullptr);
    EXPECT_EQ(link.LastReadEnd(), tervane::ReadEnd::Reconnected);
    ASSERT_TRUE(link.IsOpen());
    server.Accept();
    ASSERT_TRUE(link.SendCommand("ATI\r\n"));
    EXPECT_EQ(server.ReadUntil("\r\n"), "ATI\r\n");
    link.ClosePort();
}

// A loopback server whose thread serves the connections it accepts one after another, each
// with the next of `sessions`, and then stops accepting.
class ScriptedServer {
public:
    using Session = std::function<void(int client)>;
    explicit ScriptedServer(std::vector<Session> sessions)
        : m_listening(true)
    {
        m_thread = std::thread([this, sessions = std::move(sessions)] {
            for (const auto& session : sessions) {
                const int client = m_listening.AcceptOne();
                if (client < 0)
                    return;
                session(client);
                ::close(client);
            }
        });
    }
    // Sessions not begun by then are given up: their accept ends.
    ~ScriptedServer()
    {
        m_listening.StopListening();
        m_thread.join();
    }
    std::string Url(const std::string& scheme) const { return m_listening.Url(scheme); }

private:
    LoopbackServer m_listening;
    std::thread m_thread;
};

// What a session does with its client.
void Send(int client, const std::string& bytes)
{
    EXPECT_EQ(::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
}

// Reads until the stream received so far ends with `end`; everything read, or what came before
// the client closed.
std::string ReadUntil(int client, const std::string& end)
{
    std::string got;
    char c;
    while (!got.ends_with(end)) {
        if (::read(client, &c, 1) != 1)
            break;
        got += c;
    }
    return got;
}

void WaitForClose(int client)
{
    char buffer[256];
    while (::read(client, buffer, sizeof buffer) > 0) { }
}

// The server's side of an RFC 2217 opening: takes the client's offers, and answers the line
// settings as a server whose port stays at 9600 7E2 does.
void AnswerOpening(int client)
{
    EXPECT_EQ(ReadUntil(client, Rfc2217Codec::Opening()), Rfc2217Codec::Opening());
    // In pieces, as a slow network gives them.
    Send(client, "\xff");
    Send(client, "\xfd\x2c");
    EXPECT_EQ(ReadUntil(client, Rfc2217Codec::LineSettings()), Rfc2217Codec::LineSettings());
    const std::string answers("\xff\xfa\x2c\x65\x00\x00\x25\x80\xff\xf0\xff\xfa\x2c\x66\x07\xff\xf0"
                              "\xff\xfa\x2c\x67\x03\xff\xf0\xff\xfa\x2c\x68\x02\xff\xf0",
        31);
    Send(client, answers.substr(0, 12));
    Send(client, answers.substr(12));
}

TEST(NetworkPort, Rfc2217NegotiatesPurgesAndEscapesIacBothWays)
{
    const std::string command = std::string("AT+X=\xff\x00\xfe", 8) + "\r\n";
    std::string wire;
    {
        ScriptedServer server({[&](int client) {
            AnswerOpening(client);
            wire = ReadUntil(client, Rfc2217Codec::Escape(command));
            // An answer with 0xFF in it, the doubling split across two sends.
            Send(client, "\r\nA\xff");
            Send(client,
                "\xff"
                "B\r\nOK\r\n");
            WaitForClose(client);
        }});
        tervane::FastClock clock {100};
        tervane::SerialLink link {clock};
        const std::string url = server.Url("rfc2217");
        link.SetPortName(url);
        ASSERT_TRUE(link.OpenPort()) << tervane::DescribeOpenFailure(url, link.LastOpenFailure());
        ASSERT_TRUE(link.SendCommand(command));
        std::string raw;
        EXPECT_TRUE(link.ReadResponse(command, raw, 1000, 20000, false, nullptr));
        EXPECT_EQ(raw,
            "\r\nA\xff"
            "B\r\nOK\r\n");
        EXPECT_EQ(link.LastReadEnd(), tervane::ReadEnd::ResultCode);
        link.ClosePort();
    }
    // The drains before the command purged the server's buffers; the command went escaped.
    EXPECT_NE(wire.find(Rfc2217Codec::Purge()), std::string::npos);
    EXPECT_TRUE(wire.ends_with(Rfc2217Codec::Escape(command)));
    EXPECT_EQ(wire.find(Rfc2217Codec::Escape(command)), wire.size() - command.size() - 1);
}

// ser2net keeps the connection while the device behind it restarts, and drops it only when it
// cannot write a command to the port that went away: the command is written again once the
// server can open the port.
TEST(NetworkPort, CommandDroppedWithTheConnectionIsWrittenAgainOnceThePortIsBack)
{
    ScriptedServer server(
        {[](int client) { EXPECT_EQ(ReadUntil(client, "AT+CGSN\r\n"), "AT+CGSN\r\n"); }, [](int /*client*/) {},
            [](int client) {
                EXPECT_EQ(ReadUntil(client, "AT+CGSN\r\n"), "AT+CGSN\r\n");
                Send(client, "AT+CGSN\r\n\r\n356938035643809\r\n\r\nOK\r\n");
                WaitForClose(client);
            }});
    tervane::FastClock clock {100};
    tervane::SerialLink link {clock};
    link.SetPortName(server.Url("socket"));
    ASSERT_TRUE(link.OpenPort());
    ASSERT_TRUE(link.SendCommand("AT+CGSN\r\n"));
    std::string raw;
    link.ReadResponse("AT+CGSN\r\n", raw, 1000, 20000, false, nullptr);
    EXPECT_EQ(link.LastReadEnd(), tervane::ReadEnd::ResultCode);
    EXPECT_NE(raw.find("356938035643809"), std::string::npos) << raw;
    link.ClosePort();
}

// The device's restart in a reconnect wait, behind a server that keeps the connection and only
// falls silent: silence re-connects; a server that cannot open the port hangs up, and the
// next connection it keeps is the port back.
TEST(NetworkPort, ReconnectWaitSeesARestartBehindAServerThatKeepsTheConnection)
{
    const std::string install = "at&usbinterface=110\r\n";
    ScriptedServer server({[&](int client) {
                               AnswerOpening(client);
                               ReadUntil(client, install);
                               Send(client, install + "\r\nOK\r\n");
                               WaitForClose(client);
                           },
        [](int client) {
            AnswerOpening(client);
            Send(client, "Device open failure: Value or file not found\r\n");
        },
        [](int client) {
            AnswerOpening(client);
            WaitForClose(client);
        }});
    tervane::FastClock clock {100};
    tervane::SerialLink link {clock};
    link.SetPortName(server.Url("rfc2217"));
    ASSERT_TRUE(link.OpenPort());
    ASSERT_TRUE(link.SendCommand(install));
    std::string raw;
    const uint32_t start = clock.TickCount();
    link.ReadResponse(install, raw, 1000, 300000, true, nullptr);
    EXPECT_EQ(link.LastReadEnd(), tervane::ReadEnd::Reconnected);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_FALSE(tervane::TickPassed(clock.TickCount(), start + 300000));
    link.ClosePort();
}

struct FailureCase {
    const char* name;
    std::string url; // without a host and port: the scheme of a loopback server's URL
    OpenFailure::Kind kind;
    std::string says;
    // What the server does with its one connection; none: nobody listens.
    std::optional<ScriptedServer::Session> session;
};

class NetworkPortFailures : public ::testing::TestWithParam<FailureCase> { };

TEST_P(NetworkPortFailures, AreClearErrorsNamingTheUrl)
{
    const auto& c = GetParam();
    LoopbackServer closed(false);
    std::optional<ScriptedServer> server;
    if (c.session)
        server.emplace(std::vector<ScriptedServer::Session> {*c.session});
    std::string url = c.url;
    if (url.find("://") == std::string::npos)
        url = server ? server->Url(url) : closed.Url(url);
    tervane::FastClock clock {100};
    tervane::SerialLink link {clock};
    link.SetPortName(url);
    EXPECT_FALSE(link.OpenPort());
    EXPECT_FALSE(link.IsOpen());
    const OpenFailure failure = link.LastOpenFailure();
    EXPECT_EQ(failure.kind, c.kind);
    const std::string text = tervane::DescribeOpenFailure(url, failure);
    EXPECT_NE(text.find("cannot open " + url + ": "), std::string::npos) << text;
    EXPECT_NE(text.find(c.says), std::string::npos) << text;
}

const std::string kOpenFailure = "Device open failure: Value or file not found\r\n";

INSTANTIATE_TEST_SUITE_P(Link, NetworkPortFailures,
    ::testing::Values(FailureCase {"Refused", "socket", OpenFailure::Kind::Unreachable, "Connection refused",
                          std::nullopt},
        FailureCase {"RefusedRfc2217", "rfc2217", OpenFailure::Kind::Unreachable, "Connection refused", std::nullopt},
        FailureCase {"BadUrl", "socket://127.0.0.1:x", OpenFailure::Kind::BadUrl, "rfc2217://HOST:PORT", std::nullopt},
        FailureCase {"Rfc2217ServerHangsUp", "rfc2217", OpenFailure::Kind::ServerClosed, "closed the connection",
            [](int client) { Send(client, "\xff\xfb\x03\xff\xfd\x2c" + kOpenFailure); }},
        FailureCase {"ComPortRefused", "rfc2217", OpenFailure::Kind::NotRfc2217, "refused RFC 2217",
            [](int client) {
                Send(client, "\xff\xfe\x2c");
                WaitForClose(client);
            }}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
