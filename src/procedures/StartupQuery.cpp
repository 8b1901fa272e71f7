#include "StartupQuery.h"

#include "DeviceQuery.h"
#include "ModemRegistry.h"

#include <chrono>
#include <vector>

namespace tervane {

namespace {

// A progress dialog moves its bar on by this much as each command starts.
constexpr int kCommandStep = 10;

} // namespace

bool DetectStartupDevice(ModemRegistry& registry, const std::string& fixedPort, SerialLink& link,
    const PortChooser& choose)
{
    if (fixedPort.empty())
        return DetectDevice(registry, link, choose);
    link.ClosePort();
    link.SetPortName(fixedPort);
    if (link.OpenPortNoDrain())
        return true;
    // The detection box keeps its fixed text; the command log says why.
    if (CommandLog* log = link.Log(); log != nullptr && log->IsOpen())
        log->WriteNote(DescribeOpenFailure(fixedPort, link.LastOpenFailure()));
    return false;
}

StartupQuery::StartupQuery()
    : m_batch(DeviceQueryBatch())
    , m_discoveryFuture(m_discovery.get_future())
    , m_queryDoneFuture(m_queryDone.get_future().share())
{
}

StartupQuery::~StartupQuery()
{
    Join();
    m_link.SetLog(nullptr);
}

void StartupQuery::Start(ModemRegistry& registry, std::string fixedPort)
{
    if (Started())
        return;
    m_thread = std::thread([this, &registry, port = std::move(fixedPort)] { Run(registry, port); });
}

void StartupQuery::Run(ModemRegistry& registry, const std::string& fixedPort)
{
    const Discovery discovery = Discover(registry, fixedPort);
    m_discovery.set_value(discovery);
    if (discovery == Discovery::Found)
        RunBatch(m_link, m_batch, this);
    m_queryDone.set_value();
}

StartupQuery::Discovery StartupQuery::Discover(ModemRegistry& registry, const std::string& fixedPort)
{
    if (fixedPort.empty()) {
        // Only a single device is taken here: several need the user's choice, and with none
        // detection on the window's thread gives the log its account of what would not open.
        std::vector<std::string> candidates;
        if (!FindCandidatePorts(registry, candidates) || candidates.size() != 1)
            return Discovery::Undecided;
    }
    return DetectStartupDevice(registry, fixedPort, m_link, nullptr) ? Discovery::Found : Discovery::NotFound;
}

StartupQuery::Discovery StartupQuery::AwaitDiscovery()
{
    if (!Started())
        return Discovery::Undecided;
    if (!m_discoveryResult)
        m_discoveryResult = m_discoveryFuture.get();
    if (*m_discoveryResult != Discovery::Found)
        Join();
    return *m_discoveryResult;
}

bool StartupQuery::QueryFinished() const
{
    return m_queryDoneFuture.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

void StartupQuery::Follow(BatchObserver& observer)
{
    {
        const std::lock_guard lock(m_progressMutex);
        m_follower = &observer;
        // The follower's bar catches up with the command under way, which moves it on by a
        // step as any starting command does.
        if (m_current >= 0) {
            if (ProgressSink* sink = observer.Progress())
                sink->SetPosition(m_position - kCommandStep);
            observer.CommandStarting(m_current);
        }
    }
    m_queryDoneFuture.wait();
    const std::lock_guard lock(m_progressMutex);
    m_follower = nullptr;
}

CommandBatch& StartupQuery::AwaitQuery()
{
    Join();
    return m_batch;
}

void StartupQuery::Join()
{
    if (m_thread.joinable()) {
        m_thread.join();
        m_joined = true;
    }
}

void StartupQuery::CommandStarting(int position)
{
    const std::lock_guard lock(m_progressMutex);
    m_current = position;
    m_position += kCommandStep;
    if (m_follower != nullptr)
        m_follower->CommandStarting(position);
}

int StartupQuery::Position()
{
    const std::lock_guard lock(m_progressMutex);
    if (m_follower != nullptr)
        if (ProgressSink* sink = m_follower->Progress())
            return sink->Position();
    return m_position;
}

void StartupQuery::SetPosition(int position)
{
    const std::lock_guard lock(m_progressMutex);
    m_position = position;
    if (m_follower != nullptr)
        if (ProgressSink* sink = m_follower->Progress())
            sink->SetPosition(position);
}

} // namespace tervane
