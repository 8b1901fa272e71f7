#include "PtyPeer.h"

#include "TestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace tervane::test {

PtyPeer::PtyPeer()
{
    m_dir = MakeScratchDir("tervane-pty");
    m_link = m_dir + "/ttyQ7";
    Create();
}

PtyPeer::~PtyPeer()
{
    HangUp();
    ::rmdir(m_dir.c_str());
}

void PtyPeer::Create()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    m_slave = ::ptsname(m_master);
    // Holding the terminal open keeps it alive while the link closes and re-opens it,
    // and raw mode keeps the line discipline from echoing.
    m_ownSlave = ::open(m_slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio {};
    ::tcgetattr(m_ownSlave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_ownSlave, TCSANOW, &tio);
    ::unlink(m_link.c_str());
    if (::symlink(m_slave.c_str(), m_link.c_str()) != 0)
        throw std::runtime_error("cannot publish the terminal");
}

void PtyPeer::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string PtyPeer::ReadAvailable(int waitMs)
{
    std::string out;
    char buf[4096];
    for (;;) {
        pollfd pfd {m_master, POLLIN, 0};
        if (::poll(&pfd, 1, waitMs) <= 0 || !(pfd.revents & POLLIN))
            return out;
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            return out;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

std::string PtyPeer::ReadUntil(std::string_view end, int waitMs)
{
    std::string out;
    char buf[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!std::string_view(out).ends_with(end)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd pfd {m_master, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0 || !(pfd.revents & POLLIN))
            break;
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

void PtyPeer::StallOutput(bool stalled)
{
    ::tcflow(m_ownSlave, stalled ? TCOOFF : TCOON);
}

void PtyPeer::HangUp()
{
    ::unlink(m_link.c_str());
    if (m_ownSlave >= 0)
        ::close(m_ownSlave);
    if (m_master >= 0)
        ::close(m_master);
    m_ownSlave = m_master = -1;
}

void PtyPeer::Reopen()
{
    HangUp();
    Create();
}

} // namespace tervane::test
