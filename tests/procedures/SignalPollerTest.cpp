// The background signal poll against the simulated device: its turns with the batches on
// one link (seen in the device's transcript), its gaps, and a device restart.
#include "SignalPoller.h"

#include "BatchWorker.h"
#include "DeviceRunner.h"
#include "LinkTurns.h"
#include "SerialLink.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tervane {
namespace {

using namespace std::chrono_literals;
using Kind = SignalPollEvent::Kind;

// An upper bound for what should happen within a few polls; never a margin a test relies on.
constexpr auto kPatience = 30s;

// ---- Turns of the link -----------------------------------------------------------------

TEST(LinkTurnsTest, HoldsKeepPollsOffAndNest)
{
    LinkTurns turns;
    turns.HoldPolls();
    turns.HoldPolls();
    EXPECT_FALSE(turns.TryBeginPoll());
    turns.ReleasePolls();
    EXPECT_FALSE(turns.TryBeginPoll());
    turns.ReleasePolls();
    ASSERT_TRUE(turns.TryBeginPoll());
    EXPECT_FALSE(turns.TryBeginPoll()) << "one poll at a time";
    turns.EndPoll();
    EXPECT_TRUE(turns.TryBeginPoll());
    turns.EndPoll();
}

TEST(LinkTurnsTest, WorkWaitsForThePollUnderWayAndHoldsTheNext)
{
    LinkTurns turns;
    ASSERT_TRUE(turns.TryBeginPoll());
    std::mutex mutex;
    bool working = false;
    std::thread worker([&] {
        turns.BeginWork();
        const std::lock_guard lock(mutex);
        working = true;
    });
    // The worker cannot have its turn while the poll holds the link.
    while (!turns.PollsHeld())
        std::this_thread::yield();
    {
        const std::lock_guard lock(mutex);
        EXPECT_FALSE(working);
    }
    turns.EndPoll();
    worker.join();
    EXPECT_TRUE(working);
    EXPECT_FALSE(turns.TryBeginPoll()) << "no poll while the work holds the link";
    turns.EndWork();
    EXPECT_TRUE(turns.TryBeginPoll());
    turns.EndPoll();
}

// ---- The poller against the simulated device ----------------------------------------------

class SignalPollerTest : public ::testing::Test {
protected:
    bool Start(sim::DeviceConfig config = test::FastRestarts(), const sim::Faults& faults = {})
    {
        device = std::make_unique<sim::SimulatedQ7>(config);
        if (!test::StartAndOpen(*device, link, faults))
            return false;
        poller = std::make_unique<SignalPoller>(link, [this](const SignalPollEvent& event) {
            const std::lock_guard lock(mutex);
            events.push_back(event);
            changed.notify_all();
        });
        return true;
    }

    void TearDown() override
    {
        if (poller)
            poller->Stop();
    }

    // Waits until `done` holds for the events so far; false when it never does.
    template <class Done> bool WaitFor(Done done)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kPatience, [&] { return done(events); });
    }

    std::vector<SignalPollEvent> Events()
    {
        const std::lock_guard lock(mutex);
        return events;
    }

    static long CountKind(const std::vector<SignalPollEvent>& list, Kind kind)
    {
        return std::count_if(list.begin(), list.end(), [kind](const auto& e) { return e.kind == kind; });
    }

    std::unique_ptr<sim::SimulatedQ7> device;
    SerialLink link;
    std::unique_ptr<SignalPoller> poller;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<SignalPollEvent> events;
};

TEST_F(SignalPollerTest, ReadsAtItsCadenceAndStops)
{
    sim::DeviceConfig config = test::FastRestarts();
    config.signalPattern = sim::SignalPattern::Sweep;
    ASSERT_TRUE(Start(config));
    poller->Start("Q7", 20ms);
    ASSERT_TRUE(WaitFor([](const auto& list) { return list.size() >= 4; }));
    poller->Stop();
    EXPECT_FALSE(poller->Running());
    const auto list = Events();
    for (const auto& event : list) {
        EXPECT_EQ(event.kind, Kind::Reading);
        EXPECT_TRUE(event.reading.answered);
        EXPECT_TRUE(event.reading.known);
        EXPECT_EQ(event.reading.registration, Registration::Home);
    }
    EXPECT_NE(list.front().reading.quality, list.back().reading.quality) << "the sweep moves";
    const std::size_t polls = device->ReceivedCommands().size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(device->ReceivedCommands().size(), polls) << "nothing is sent once stopped";
}

TEST_F(SignalPollerTest, NeverComesBetweenTheCommandsOfABatch)
{
    ASSERT_TRUE(Start());
    poller->Start("Q7", 1ms);
    ASSERT_TRUE(WaitFor([](const auto& list) { return list.size() >= 2; }));
    DirectRunner runner(link);
    const std::vector<std::string> commands {"AT+CGMI", "AT+CGSN", "AT+CGMR", "AT+CIMI"};
    for (int round = 0; round < 3; ++round) {
        CommandBatch batch;
        for (const auto& command : commands)
            batch.AddTail(CommandRow(command + "\r\n", "", 1000));
        runner.RunBatch(batch);
        for (int i = 0; i < batch.GetCount(); ++i)
            EXPECT_EQ(batch.GetAt(i)->failed, 0) << commands[i];
        // Polling carries on between the batches.
        const std::size_t before = Events().size();
        ASSERT_TRUE(WaitFor([before](const auto& list) { return list.size() >= before + 2; }));
    }
    poller->Stop();

    const auto received = device->ReceivedCommands();
    int batches = 0;
    for (std::size_t i = 0; i < received.size(); ++i) {
        if (received[i] != commands.front())
            continue;
        ++batches;
        ASSERT_LE(i + commands.size(), received.size());
        for (std::size_t k = 0; k < commands.size(); ++k)
            EXPECT_EQ(received[i + k], commands[k]) << "a poll came between the commands of batch " << batches;
    }
    EXPECT_EQ(batches, 3);
    EXPECT_GT(std::count(received.begin(), received.end(), std::string("AT+CSQ")), 6);
}

TEST_F(SignalPollerTest, IsHeldOffWhileAProcedureHoldsTheLink)
{
    ASSERT_TRUE(Start());
    link.Turns().HoldPolls();
    poller->Start("Q7", 1ms);
    ASSERT_TRUE(WaitFor([](const auto& list) { return list.size() >= 3; }));
    EXPECT_EQ(CountKind(Events(), Kind::Held), static_cast<long>(Events().size()));
    EXPECT_FALSE(test::AnyReceived(*device, "AT+CSQ"));
    link.Turns().ReleasePolls();
    ASSERT_TRUE(WaitFor([](const auto& list) { return list.back().kind == Kind::Reading; }));
}

TEST_F(SignalPollerTest, UnknownAndMissingAnswersAreGaps)
{
    sim::DeviceConfig config = test::FastRestarts();
    config.signalPattern = sim::SignalPattern::Dropouts;
    ASSERT_TRUE(Start(config));
    poller->Start("Q7", 1ms);
    // Dropouts answer 99 on two questions of ten: answered, but no level.
    ASSERT_TRUE(WaitFor([](const auto& list) {
        return std::any_of(list.begin(), list.end(),
            [](const auto& e) { return e.kind == Kind::Reading && !e.reading.known; });
    }));
    for (const auto& event : Events()) {
        if (!event.reading.known) {
            EXPECT_EQ(event.reading.lampsLit, 0);
            EXPECT_EQ(event.reading.levelDbm, 0);
        }
    }
    // A device that stops answering: no answer at all is the device away, still a gap.
    device->ChangeFaults([](sim::Faults& faults) { faults.silent = true; });
    ASSERT_TRUE(WaitFor([](const auto& list) { return list.back().kind == Kind::DeviceAway; }));
    EXPECT_FALSE(Events().back().reading.known);
    device->ChangeFaults([](sim::Faults& faults) { faults.silent = false; });
    ASSERT_TRUE(WaitFor([](const auto& list) { return list.back().kind == Kind::Reading; }));
}

TEST_F(SignalPollerTest, SurvivesADeviceRestart)
{
    ASSERT_TRUE(Start());
    poller->Start("Q7", 10ms);
    ASSERT_TRUE(WaitFor([](const auto& list) { return list.size() >= 2; }));
    const int restarts = device->RestartCount();
    // The device goes away between two polls, for longer than an answer's time-out.
    link.Turns().BeginWork();
    device->Restart(3000);
    link.Turns().EndWork();
    ASSERT_TRUE(WaitFor([](const auto& list) { return list.back().kind == Kind::DeviceAway; }));
    ASSERT_TRUE(WaitFor([](const auto& list) { return list.back().kind == Kind::Reading; }));
    EXPECT_EQ(device->RestartCount(), restarts + 1);
    EXPECT_TRUE(Events().back().reading.known);
    // While the device was away, each poll ended at once instead of holding the link for the
    // link's whole reopen bound: the link is free for a batch as soon as the device is back.
    DirectRunner runner(link);
    CommandBatch batch;
    batch.AddTail(CommandRow("AT+CGMI\r\n", "", 1000));
    runner.RunBatch(batch);
    EXPECT_EQ(batch.GetAt(0)->failed, 0);
}

} // namespace
} // namespace tervane
