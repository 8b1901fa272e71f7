#include "Clock.h"

#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace tervane {

namespace {
const auto processStart = std::chrono::steady_clock::now();
// How long before a deadline a paced wait wakes up to wait out the rest awake.
constexpr uint64_t kAwakeWaitUs = 150;
} // namespace

uint32_t RealClock::TickCount()
{
    const auto elapsed = std::chrono::steady_clock::now() - processStart;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void RealClock::Sleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint64_t RealClock::MicroTicks()
{
    const auto elapsed = std::chrono::steady_clock::now() - processStart;
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
}

void RealClock::SleepUntilMicro(uint64_t deadline)
{
    // The kernel may wake a thread up to its timer slack (50 us by default) late; a paced
    // loop asks for its wake-ups on time.
#ifdef __linux__
    static thread_local const bool slackSet = ::prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL) == 0;
    static_cast<void>(slackSet);
#endif
    // The steady clock is CLOCK_MONOTONIC. The wake-up is absolute, so the time between
    // reading the clock and going to sleep is not added; it comes a little early, and the
    // last moment is waited out awake, so a slow wake-up on a busy machine does not
    // lengthen the pause either.
    const uint64_t wakeEarly = deadline > kAwakeWaitUs ? deadline - kAwakeWaitUs : 0;
    const auto wake = processStart.time_since_epoch() + std::chrono::microseconds(wakeEarly);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wake);
    timespec at {};
    at.tv_sec = static_cast<time_t>(seconds.count());
    at.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wake - seconds).count());
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) { }
    // The count is cut down to whole microseconds: it has passed the deadline only once the
    // deadline's own microsecond is over, so the pause is never a fraction short.
    while (MicroTicks() <= deadline) { }
}

void Clock::SleepUntil(uint32_t deadline)
{
    const uint32_t now = TickCount();
    if (TickPassed(deadline, now))
        Sleep(deadline - now);
}

void Clock::SleepUntilMicro(uint64_t deadline)
{
    const uint64_t now = MicroTicks();
    if (deadline > now)
        Sleep(static_cast<uint32_t>((deadline - now + 999) / 1000));
}

FastClock::FastClock(uint32_t speedUp)
    : m_speedUp(speedUp == 0 ? 1 : speedUp)
    , m_start(std::chrono::steady_clock::now())
{
}

uint32_t FastClock::TickCount()
{
    return static_cast<uint32_t>(MicroTicks() / 1000);
}

uint64_t FastClock::MicroTicks()
{
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    const auto realUs = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
    return static_cast<uint64_t>(realUs) + m_skippedUs.load();
}

void FastClock::Sleep(uint32_t ms)
{
    const uint32_t real = ms / m_speedUp;
    std::this_thread::sleep_for(std::chrono::milliseconds(real));
    if (!m_holding || !m_holding())
        m_skippedUs += uint64_t {ms - real} * 1000;
}

void FastClock::SleepUntilMicro(uint64_t deadline)
{
    const uint64_t now = MicroTicks();
    if (deadline <= now)
        return;
    const uint64_t real = (deadline - now) / m_speedUp;
    std::this_thread::sleep_for(std::chrono::microseconds(real));
    if (!m_holding || !m_holding())
        m_skippedUs += deadline - now - real;
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
