#pragma once

#include "SignalPoll.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tervane {

class SerialLink;

// What one due time of the poll gave.
struct SignalPollEvent {
    enum class Kind {
        Reading,    // the device answered; the reading may still be unknown (99)
        DeviceAway, // no answer: the device is away or restarting; an unknown reading
        Held,       // a batch or a transfer has the link: no poll this time, no reading
    };
    Kind kind = Kind::Reading;
    std::chrono::system_clock::time_point time;
    SignalReading reading;
};

// Polls the signal on a thread of its own at a fixed cadence (SignalCadence), so the thread
// that shows the readings never waits for the device. Each poll takes the link's turn: it
// is skipped while a batch or a transfer holds the link, and no batch starts while it runs.
// A device that goes away is opened again at the cadence, the way the link survives a
// restart, without holding the link for the link's whole reopen bound.
class SignalPoller {
public:
    // `sink` gets every event on the polling thread.
    using Sink = std::function<void(const SignalPollEvent&)>;

    SignalPoller(SerialLink& link, Sink sink);
    // Stops and waits for the thread.
    ~SignalPoller();
    SignalPoller(const SignalPoller&) = delete;
    SignalPoller& operator=(const SignalPoller&) = delete;

    // Starts polling now and then every `interval`; the lamps are counted for `product`.
    // A poller that is still ending after RequestStop carries on instead.
    void Start(std::string product, std::chrono::milliseconds interval);
    // Asks the thread to end after the poll under way; returns at once.
    void RequestStop();
    // Asks the thread to end and waits for it.
    void Stop();
    bool Running() const;

private:
    void Run();

    SerialLink& m_link;
    Sink m_sink;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_stop = false;
    bool m_threadEnded = true;
    std::string m_product;
    std::chrono::milliseconds m_interval {1000};
    // Bumped by each Start, so a running thread restarts its cadence.
    unsigned m_generation = 0;
};

} // namespace tervane
