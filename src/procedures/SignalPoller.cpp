#include "SignalPoller.h"

#include "SerialLink.h"

namespace tervane {

SignalPoller::SignalPoller(SerialLink& link, Sink sink)
    : m_link(link)
    , m_sink(std::move(sink))
{
}

SignalPoller::~SignalPoller()
{
    Stop();
}

void SignalPoller::Start(std::string product, std::chrono::milliseconds interval)
{
    std::unique_lock lock(m_mutex);
    m_product = std::move(product);
    m_interval = interval.count() > 0 ? interval : std::chrono::milliseconds(1);
    ++m_generation;
    m_stop = false;
    if (!m_threadEnded) {
        // Still running, or ending after RequestStop: it carries on with the new settings.
        m_wake.notify_all();
        return;
    }
    // An ended thread has nothing left to do, so the join does not wait.
    std::thread ended = std::move(m_thread);
    m_threadEnded = false;
    m_thread = std::thread([this] { Run(); });
    lock.unlock();
    if (ended.joinable())
        ended.join();
}

void SignalPoller::RequestStop()
{
    const std::lock_guard lock(m_mutex);
    m_stop = true;
    m_wake.notify_all();
}

void SignalPoller::Stop()
{
    RequestStop();
    std::thread thread;
    {
        const std::lock_guard lock(m_mutex);
        thread = std::move(m_thread);
    }
    if (thread.joinable())
        thread.join();
}

bool SignalPoller::Running() const
{
    const std::lock_guard lock(m_mutex);
    return !m_threadEnded && !m_stop;
}

void SignalPoller::Run()
{
    using Steady = std::chrono::steady_clock;
    std::unique_lock lock(m_mutex);
    unsigned generation = m_generation;
    SignalCadence cadence(Steady::now(), m_interval);
    while (!m_stop) {
        const std::string product = m_product;
        lock.unlock();

        SignalPollEvent event;
        {
            const PollTurn turn(m_link.Turns());
            event.time = std::chrono::system_clock::now();
            if (!turn.Taken()) {
                event.kind = SignalPollEvent::Kind::Held;
            } else {
                event.reading = PollSignalInTurn(m_link, product);
                event.kind =
                    event.reading.answered ? SignalPollEvent::Kind::Reading : SignalPollEvent::Kind::DeviceAway;
            }
        }
        m_sink(event);

        lock.lock();
        if (generation != m_generation) {
            generation = m_generation;
            cadence = SignalCadence(Steady::now(), m_interval);
        }
        const Steady::time_point due = cadence.NextDue(Steady::now());
        m_wake.wait_until(lock, due, [&] { return m_stop || generation != m_generation; });
        if (generation != m_generation && !m_stop) {
            // Started again: poll at once on the new cadence.
            generation = m_generation;
            cadence = SignalCadence(Steady::now(), m_interval);
        }
    }
    m_threadEnded = true;
}

} // namespace tervane
