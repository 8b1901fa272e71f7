#include "Clock.h"

#include <algorithm>

#include <thread>

namespace tervane {

namespace {
const auto processStart = std::chrono::steady_clock::now();
}

uint32_t RealClock::TickCount()
{
    const auto elapsed = std::chrono::steady_clock::now() - processStart;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void RealClock::Sleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Clock::SleepUntil(uint32_t deadline)
{
    const uint32_t now = TickCount();
    if (TickPassed(deadline, now))
        Sleep(deadline - now);
}

FastClock::FastClock(uint32_t speedUp)
    : m_speedUp(speedUp == 0 ? 1 : speedUp)
    , m_start(std::chrono::steady_clock::now())
{
}

uint32_t FastClock::TickCount()
{
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    const auto realMs = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(realMs) + m_skippedMs.load());
}

void FastClock::Sleep(uint32_t ms)
{
    const uint32_t real = ms / m_speedUp;
    std::this_thread::sleep_for(std::chrono::milliseconds(real));
    if (!m_holding || !m_holding())
        m_skippedMs += ms - real;
}

void FastClock::HoldWhile(std::function<bool()> holding)
{
    m_holding = std::move(holding);
}

uint32_t FastClock::QuietWait(uint32_t ms)
{
    constexpr uint32_t kShortestQuietMs = 20;
    return std::min(ms, std::max(kShortestQuietMs, ms / m_speedUp));
}

Clock& SystemClock()
{
    static RealClock clock;
    return clock;
}

} // namespace tervane
