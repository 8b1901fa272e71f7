#include "PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

namespace tervane::test {

PseudoTerminal::PseudoTerminal()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return;
    char name[128] = {};
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 || ::ptsname_r(m_master, name, sizeof name) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slavePath = name;
}

PseudoTerminal::~PseudoTerminal()
{
    if (m_master >= 0)
        ::close(m_master);
}

bool PseudoTerminal::IsOpen() const
{
    return m_master >= 0;
}

const std::string& PseudoTerminal::SlavePath() const
{
    return m_slavePath;
}

PortHolder::PortHolder(const std::string& path)
{
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

PortHolder::~PortHolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PortHolder::IsHolding() const
{
    return m_fd >= 0;
}

} // namespace tervane::test
