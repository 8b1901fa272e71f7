#include "LinkTurns.h"

namespace tervane {

void LinkTurns::HoldPolls()
{
    const std::lock_guard lock(m_mutex);
    ++m_holds;
}

void LinkTurns::ReleasePolls()
{
    const std::lock_guard lock(m_mutex);
    if (m_holds > 0)
        --m_holds;
}

void LinkTurns::BeginWork()
{
    std::unique_lock lock(m_mutex);
    ++m_holds;
    m_pollEnded.wait(lock, [this] { return !m_polling; });
}

bool LinkTurns::TryBeginPoll()
{
    const std::lock_guard lock(m_mutex);
    if (m_holds > 0 || m_polling)
        return false;
    m_polling = true;
    return true;
}

void LinkTurns::EndPoll()
{
    {
        const std::lock_guard lock(m_mutex);
        m_polling = false;
    }
    m_pollEnded.notify_all();
}

bool LinkTurns::PollsHeld() const
{
    const std::lock_guard lock(m_mutex);
    return m_holds > 0;
}

} // namespace tervane
