#include "PortClient.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace tervane::sim::test {

namespace {

using Clock = std::chrono::steady_clock;

int Left(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool EndsWith(const std::string& text, std::string_view end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

PortClient::PortClient(const std::string& path)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0)
        return;
    termios tio{};
    if (tcgetattr(fd_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
}

PortClient::~PortClient()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool PortClient::Send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string PortClient::ReadAnswer(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string text;
    while (!EndsWith(text, "\r\nOK\r\n") && !EndsWith(text, "\r\nERROR\r\n")) {
        pollfd fd = {fd_, POLLIN, 0};
        const int ready = poll(&fd, 1, Left(deadline));
        if (ready == 0)
            break;
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        char buffer[65536];
        const ssize_t count = ::read(fd_, buffer, sizeof buffer);
        if (count <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
}

std::string PortClient::Exchange(std::string_view command, int timeoutMs)
{
    if (!Send(command))
        return {};
    return ReadAnswer(timeoutMs);
}

std::string PortClient::ReadFor(int ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::string text;
    for (;;) {
        pollfd fd = {fd_, POLLIN, 0};
        const int ready = poll(&fd, 1, Left(deadline));
        if (ready <= 0)
            break;
        char buffer[65536];
        const ssize_t count = ::read(fd_, buffer, sizeof buffer);
        if (count <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
}

bool PortClient::WaitForHangUp(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd fd = {fd_, POLLIN, 0};
        const int ready = poll(&fd, 1, Left(deadline));
        if (ready == 0)
            return false;
        if (ready < 0)
            continue;
        if ((fd.revents & (POLLHUP | POLLERR)) != 0)
            return true;
        char buffer[4096];
        if (::read(fd_, buffer, sizeof buffer) <= 0)
            return true;
    }
}

} // namespace tervane::sim::test
