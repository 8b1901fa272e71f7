#pragma once

#include "BatchWorker.h"
#include "CommandBatch.h"
#include "CommandLog.h"
#include "DetectDevice.h"
#include "ProgressSink.h"
#include "SerialLink.h"

#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tervane {

class ModemRegistry;

// Start-up's detection: opens `fixedPort` when one is given (a port that will not open is
// noted in the link's command log), otherwise looks through `registry` and lets `choose`
// decide between several devices.
bool DetectStartupDevice(ModemRegistry& registry, const std::string& fixedPort, SerialLink& link,
    const PortChooser& choose);

// Start-up's detection and device query begun on a thread of their own before the window's
// toolkit starts, so that the device answers while the toolkit connects to the display and
// the window is built. It owns the link and the command log the application goes on to use.
//
// The thread does only what needs no one's answer: it opens a fixed port, or the one port
// the registrations offer, and runs the device query's batch on it. With no port or several
// (the user must choose), it stops and leaves detection to the window's thread. The link is
// the thread's until AwaitQuery has joined it; the window's thread learns how detection went
// through a future, and may follow the query's progress from a progress dialog's worker.
class StartupQuery : private BatchObserver, private ProgressSink {
public:
    enum class Discovery {
        Undecided, // none or several ports: the window's thread detects as it would have
        NotFound,  // the port would not open
        Found,     // open; the device query runs on it
    };

    StartupQuery();
    ~StartupQuery() override;
    StartupQuery(const StartupQuery&) = delete;
    StartupQuery& operator=(const StartupQuery&) = delete;

    SerialLink& Link() { return m_link; }
    CommandLog& Log() { return m_log; }

    // Starts the thread: `fixedPort` when not empty, otherwise the one device `registry`
    // offers. The registry is not used by anyone else until AwaitDiscovery has returned.
    // The command log, when wanted, is open and set in the link already.
    void Start(ModemRegistry& registry, std::string fixedPort);
    bool Started() const { return m_thread.joinable() || m_joined; }

    // How detection went; waits for it as detection on the window's thread would have.
    // After anything but Found, the thread has ended and the link is the caller's.
    Discovery AwaitDiscovery();

    // The device query's batch has been run to its end.
    bool QueryFinished() const;
    // The batch the thread runs: only the records' prompts may be read before AwaitQuery.
    CommandBatch& Batch() { return m_batch; }
    // On a progress dialog's worker: hands the query's progress to `observer` from now until
    // the batch has been run, then returns.
    void Follow(BatchObserver& observer);
    // Joins the thread; the answered batch and the link are the caller's from then on.
    CommandBatch& AwaitQuery();

private:
    void Run(ModemRegistry& registry, const std::string& fixedPort);
    Discovery Discover(ModemRegistry& registry, const std::string& fixedPort);
    void Join();

    // BatchObserver and ProgressSink: the batch's progress, kept until someone follows it.
    void CommandStarting(int position) override;
    ProgressSink* Progress() override { return this; }
    int Position() override;
    void SetPosition(int position) override;

    CommandLog m_log;
    SerialLink m_link;
    CommandBatch m_batch;
    std::promise<Discovery> m_discovery;
    std::future<Discovery> m_discoveryFuture;
    std::optional<Discovery> m_discoveryResult;
    std::promise<void> m_queryDone;
    std::shared_future<void> m_queryDoneFuture;
    std::thread m_thread;
    bool m_joined = false;

    // Guards the progress handed between the thread and a follower.
    std::mutex m_progressMutex;
    BatchObserver* m_follower = nullptr;
    int m_current = -1;
    int m_position = 0;
};

} // namespace tervane
