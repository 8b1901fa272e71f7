#include "NetworkPort.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string_view>

namespace tervane {

namespace {

constexpr std::string_view kSocketScheme = "socket://";
constexpr std::string_view kRfc2217Scheme = "rfc2217://";

bool StartsWith(const std::string& text, std::string_view head)
{
    return text.size() >= head.size() && std::string_view(text).substr(0, head.size()) == head;
}

int Fail(OpenFailure* failure, OpenFailure::Kind kind, int error)
{
    if (failure)
        *failure = OpenFailure {kind, error, 0};
    return -1;
}

using AddressList = std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)>;

// Resolves host and port. A numeric address resolves at once; a name waits for the resolver
// at most `waitMs`, and a resolver that does not answer in time is left to finish on its own.
AddressList Resolve(const PortUrl& url, int waitMs, int& gaiError)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    gaiError = ::getaddrinfo(url.host.c_str(), url.port.c_str(), &hints, &found);
    if (gaiError == 0)
        return AddressList(found, ::freeaddrinfo);

    // A name: ask the resolver in the background and wait for it within the bound. The request
    // lives on the heap so that a resolver still busy after the bound never writes freed memory.
    struct Request {
        std::string host, port;
        addrinfo hints {};
        gaicb block {};
    };
    auto* request = new Request {url.host, url.port, {}, {}};
    request->hints.ai_family = AF_UNSPEC;
    request->hints.ai_socktype = SOCK_STREAM;
    request->hints.ai_flags = AI_NUMERICSERV;
    request->block.ar_name = request->host.c_str();
    request->block.ar_service = request->port.c_str();
    request->block.ar_request = &request->hints;
    gaicb* list[1] = {&request->block};
    if (::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
        delete request;
        gaiError = EAI_AGAIN;
        return AddressList(nullptr, ::freeaddrinfo);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            break;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
        timespec wait {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        const gaicb* const waitList[1] = {&request->block};
        const int suspended = ::gai_suspend(waitList, 1, &wait);
        if (suspended == EAI_AGAIN)
            break;
        if (::gai_error(&request->block) != EAI_INPROGRESS)
            break;
    }
    gaiError = ::gai_error(&request->block);
    if (gaiError == EAI_INPROGRESS && ::gai_cancel(&request->block) != EAI_CANCELED) {
        // Still running: it owns the request until it ends; the small block is given up.
        gaiError = EAI_AGAIN;
        return AddressList(nullptr, ::freeaddrinfo);
    }
    AddressList result(gaiError == 0 ? request->block.ar_result : nullptr, ::freeaddrinfo);
    delete request;
    return result;
}

// Connects one address without blocking for longer than `waitMs`; the socket or -1 with errno set.
int ConnectOne(const addrinfo& address, int waitMs)
{
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0)
        return -1;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return -1;
        }
        pollfd pfd {fd, POLLOUT, 0};
        int ready;
        do {
            ready = ::poll(&pfd, 1, waitMs);
        } while (ready < 0 && errno == EINTR);
        int error = ETIMEDOUT;
        if (ready > 0) {
            socklen_t length = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
        }
        if (error != 0) {
            ::close(fd);
            errno = error;
            return -1;
        }
    }
    // Commands are short and answered one at a time: send each at once.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

} // namespace

bool IsPortUrl(const std::string& name)
{
    return StartsWith(name, kSocketScheme) || StartsWith(name, kRfc2217Scheme);
}

std::optional<PortUrl> ParsePortUrl(const std::string& name)
{
    PortUrl url;
    std::string rest;
    if (StartsWith(name, kSocketScheme)) {
        url.scheme = PortUrl::Scheme::Socket;
        rest = name.substr(kSocketScheme.size());
    } else if (StartsWith(name, kRfc2217Scheme)) {
        url.scheme = PortUrl::Scheme::Rfc2217;
        rest = name.substr(kRfc2217Scheme.size());
    } else {
        return std::nullopt;
    }
    // Nothing after the port: no path, no options.
    std::string::size_type colon;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return std::nullopt;
        url.host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.rfind(':');
        if (colon == std::string::npos || rest.find(':') != colon)
            return std::nullopt;
        url.host = rest.substr(0, colon);
    }
    url.port = rest.substr(colon + 1);
    if (url.host.empty() || url.port.empty() || url.port.size() > 5)
        return std::nullopt;
    long number = 0;
    for (const char c : url.port) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number < 1 || number > 65535)
        return std::nullopt;
    for (const char c : url.host) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u >= 0x7f || c == '/' || c == '@')
            return std::nullopt;
    }
    return url;
}

int OpenNetworkPort(const std::string& name, OpenFailure* failure)
{
    if (failure)
        *failure = OpenFailure {};
    const auto url = ParsePortUrl(name);
    if (!url)
        return Fail(failure, OpenFailure::Kind::BadUrl, EINVAL);
    if (url->scheme == PortUrl::Scheme::Rfc2217)
        return Fail(failure, OpenFailure::Kind::Unsupported, EPROTONOSUPPORT);
    const auto start = std::chrono::steady_clock::now();
    int gaiError = 0;
    const AddressList addresses = Resolve(*url, kNetworkConnectMs, gaiError);
    if (!addresses)
        return Fail(failure, OpenFailure::Kind::Unresolved, gaiError == EAI_AGAIN ? ETIMEDOUT : EHOSTUNREACH);
    int lastError = ECONNREFUSED;
    for (const addrinfo* address = addresses.get(); address; address = address->ai_next) {
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        const int left = kNetworkConnectMs - static_cast<int>(spent);
        if (left <= 0) {
            lastError = ETIMEDOUT;
            break;
        }
        const int fd = ConnectOne(*address, left);
        if (fd >= 0)
            return fd;
        lastError = errno;
    }
    return Fail(failure, OpenFailure::Kind::Unreachable, lastError);
}

} // namespace tervane
