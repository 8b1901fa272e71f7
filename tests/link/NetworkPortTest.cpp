#include "NetworkPort.h"
#include "SerialLink.h"
#include "SerialPort.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>

using tervane::OpenFailure;
using tervane::PortUrl;

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
            EXPECT_EQ(::listen(m_fd, 1), 0);
        }
    }
    ~LoopbackServer()
    {
        if (m_client >= 0)
            ::close(m_client);
        ::close(m_fd);
    }
    std::string Url() const { return "socket://127.0.0.1:" + std::to_string(m_port); }
    void Accept() { m_client = ::accept(m_fd, nullptr, nullptr); }
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

struct FailureCase {
    const char* name;
    std::string url; // empty: a loopback port nobody listens on
    OpenFailure::Kind kind;
    std::string says;
};

class NetworkPortFailures : public ::testing::TestWithParam<FailureCase> { };

TEST_P(NetworkPortFailures, AreClearErrorsNamingTheUrl)
{
    const auto& c = GetParam();
    LoopbackServer closed(false);
    const std::string url = c.url.empty() ? closed.Url() : c.url;
    OpenFailure failure;
    EXPECT_FALSE(tervane::SerialLink::CanOpen(url, &failure));
    EXPECT_EQ(failure.kind, c.kind);
    const std::string text = tervane::DescribeOpenFailure(url, failure);
    EXPECT_NE(text.find("cannot open " + url + ": "), std::string::npos) << text;
    EXPECT_NE(text.find(c.says), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Link, NetworkPortFailures,
    ::testing::Values(FailureCase {"Refused", "", OpenFailure::Kind::Unreachable, "Connection refused"},
        FailureCase {"BadUrl", "socket://127.0.0.1:x", OpenFailure::Kind::BadUrl, "socket://HOST:PORT"},
        FailureCase {"Rfc2217", "rfc2217://127.0.0.1:4001", OpenFailure::Kind::Unsupported, "raw TCP"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
