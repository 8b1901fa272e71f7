#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace tervane {

// Every wait of the link goes through a clock, so that tests can run the device's
// long waits (a 20 s settle, a 300 s restart) quickly. The product uses SystemClock().
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, wrapping like a 32-bit tick count.
    virtual uint32_t TickCount() = 0;
    // Pauses the calling thread for the given number of milliseconds.
    virtual void Sleep(uint32_t ms) = 0;
    // Pauses until the tick count reaches `deadline`; at once when it has.
    virtual void SleepUntil(uint32_t deadline);
    // The time in microseconds since an arbitrary start, for a pause that must last at least
    // its length without rounding up to whole milliseconds each time. By default the tick
    // count in microseconds.
    virtual uint64_t MicroTicks() { return uint64_t {TickCount()} * 1000; }
    // Pauses until MicroTicks() reaches `deadline`; at once when it has. By default in whole
    // milliseconds, rounded up.
    virtual void SleepUntilMicro(uint64_t deadline);
    // How long a wait for the port to fall quiet really lasts (the drain before each
    // command). Waiting for a device's answer is never shortened.
    virtual uint32_t QuietWait(uint32_t ms) { return ms; }
};

// Real time.
class RealClock : public Clock {
public:
    uint32_t TickCount() override;
    void Sleep(uint32_t ms) override;
    uint64_t MicroTicks() override;
    // Wakes at the deadline itself, not a relative pause after the call, so the time the
    // caller took before it is not added.
    void SleepUntilMicro(uint64_t deadline) override;
};

// Real time in which pauses pass faster: Sleep(ms) really waits ms / speedUp and the
// tick count moves on by the full ms. Waiting for bytes on the port stays real time,
// so a simulated device still answers at its own pace; the wait for a quiet port is
// shortened too, but never below 20 ms, so late bytes of a previous answer are still
// drained.
class FastClock : public Clock {
public:
    explicit FastClock(uint32_t speedUp);
    uint32_t TickCount() override;
    void Sleep(uint32_t ms) override;
    uint64_t MicroTicks() override;
    void SleepUntilMicro(uint64_t deadline) override;
    uint32_t QuietWait(uint32_t ms) override;
    // While `holding` answers true, pauses pass at real speed. A test holds the clock while its
    // simulated device restarts in real time, so that a wait for the port to come back cannot
    // run out however slowly the machine schedules the device. Set before any thread uses the
    // clock; `holding` is called from the threads that pause.
    void HoldWhile(std::function<bool()> holding);

private:
    const uint32_t m_speedUp;
    std::function<bool()> m_holding;
    const std::chrono::steady_clock::time_point m_start;
    std::atomic<uint64_t> m_skippedUs{0};
};

// The process's real clock.
Clock& SystemClock();

// True once `now` has passed `deadline` on a wrapping 32-bit tick count.
inline bool TickPassed(uint32_t now, uint32_t deadline)
{
    return static_cast<int32_t>(now - deadline) > 0;
}

} // namespace tervane
