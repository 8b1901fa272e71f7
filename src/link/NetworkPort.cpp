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

bool WriteWhole(int fd, std::string_view bytes, std::chrono::steady_clock::time_point deadline)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd pfd {fd, POLLOUT, 0};
        ::poll(&pfd, 1, static_cast<int>(left.count()));
    }
    return true;
}

// The telnet opening of an rfc2217 port on the connected socket `fd`: 0 once the server has
// answered the line settings, or the failure's kind.
OpenFailure::Kind Negotiate(int fd, Rfc2217Codec& telnet, int& error)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kNetworkConnectMs);
    telnet.Reset();
    error = 0;
    if (!WriteWhole(fd, Rfc2217Codec::Opening(), deadline)) {
        error = errno ? errno : ETIMEDOUT;
        return OpenFailure::Kind::ServerClosed;
    }
    char buffer[512];
    while (!telnet.LineAnswered()) {
        if (telnet.ComPortRefused())
            return OpenFailure::Kind::NotRfc2217;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error = ETIMEDOUT;
            return OpenFailure::Kind::NotRfc2217;
        }
        pollfd pfd {fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            error = errno;
            return OpenFailure::Kind::ServerClosed;
        }
        if (ready <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            return OpenFailure::Kind::ServerClosed;
        }
        std::string reply;
        telnet.Decode(buffer, static_cast<std::size_t>(n), reply);
        if (!reply.empty() && !WriteWhole(fd, reply, deadline)) {
            error = errno;
            return OpenFailure::Kind::ServerClosed;
        }
    }
    return OpenFailure::Kind::None;
}

} // namespace

int OpenNetworkPort(const std::string& name, OpenFailure* failure, Rfc2217Codec* telnet)
{
    if (failure)
        *failure = OpenFailure {};
    const auto url = ParsePortUrl(name);
    if (!url)
        return Fail(failure, OpenFailure::Kind::BadUrl, EINVAL);
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
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        if (url->scheme == PortUrl::Scheme::Socket) {
            // A server that cannot give the port (ser2net: in use by another client, or its
            // device away) says so and hangs up at once; raw TCP has no other answer to wait for.
            pollfd pfd {fd, POLLRDHUP, 0};
            int ready;
            do {
                ready = ::poll(&pfd, 1, kServerVerdictMs);
            } while (ready < 0 && errno == EINTR);
            if (ready > 0 && (pfd.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
                ::close(fd);
                return Fail(failure, OpenFailure::Kind::ServerClosed, 0);
            }
            return fd;
        }
        Rfc2217Codec own;
        int error = 0;
        const OpenFailure::Kind kind = Negotiate(fd, telnet ? *telnet : own, error);
        if (kind == OpenFailure::Kind::None)
            return fd;
        ::close(fd);
        return Fail(failure, kind, error);
    }
    return Fail(failure, OpenFailure::Kind::Unreachable, lastError);
}

} // namespace tervane
