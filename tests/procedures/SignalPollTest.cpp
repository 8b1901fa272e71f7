#include "SignalPoll.h"

#include "DeviceConfig.h"
#include "DeviceRunner.h"
#include "SerialLink.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

namespace tervane {
namespace {

using namespace std::chrono_literals;

// ---- The answers ----------------------------------------------------------------------

struct CsqCase {
    const char* name;
    const char* response;
    int failed;
    bool known;
    int quality;
};

class CsqReadingTest : public ::testing::TestWithParam<CsqCase> { };

CommandBatch Answered(const char* csq, int csqFailed, const char* creg, int cregFailed)
{
    CommandBatch batch = SignalPollBatch();
    batch.GetAt(0)->response = csq;
    batch.GetAt(0)->failed = csqFailed;
    batch.GetAt(1)->response = creg;
    batch.GetAt(1)->failed = cregFailed;
    return batch;
}

TEST_P(CsqReadingTest, UnknownIsAGapNeverALevel)
{
    const CsqCase& c = GetParam();
    const SignalReading reading = ReadSignalPoll(Answered(c.response, c.failed, "+CREG: 0,1", 0), "Q7");
    EXPECT_EQ(reading.known, c.known);
    if (c.known) {
        EXPECT_EQ(reading.quality, c.quality);
        EXPECT_EQ(reading.levelDbm, 2LL * c.quality - 113);
    } else {
        EXPECT_EQ(reading.lampsLit, 0);
        EXPECT_EQ(reading.levelDbm, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Csq, CsqReadingTest,
    ::testing::Values(CsqCase {"Level", "+CSQ: 20,99", 0, true, 20}, CsqCase {"Zero", "+CSQ: 0,0", 0, true, 0},
        CsqCase {"Top", "+CSQ: 31,99", 0, true, 31}, CsqCase {"NotKnown", "+CSQ: 99,99", 0, false, 0},
        CsqCase {"OutOfRange", "+CSQ: 32,99", 0, false, 0}, CsqCase {"Negative", "+CSQ: -1,99", 0, false, 0},
        CsqCase {"Huge", "+CSQ: 99999999999999999999,99", 0, false, 0}, CsqCase {"NoAnswer", "", 1, false, 0},
        CsqCase {"FailedRowKeepsNoText", "+CSQ: 20,99", 1, false, 0}, CsqCase {"Garbage", "ERROR", 0, false, 0},
        CsqCase {"NoComma", "+CSQ: 20", 0, false, 0},
        CsqCase {"AfterUnsolicitedLine", "+CREG: 1\r\n+CSQ: 12,99", 0, true, 12}),
    [](const auto& row) { return std::string(row.param.name); });

struct CregCase {
    const char* name;
    const char* response;
    int failed;
    Registration expected;
};

class CregReadingTest : public ::testing::TestWithParam<CregCase> { };

TEST_P(CregReadingTest, ReadsTheState)
{
    const CregCase& c = GetParam();
    EXPECT_EQ(ReadSignalPoll(Answered("+CSQ: 20,99", 0, c.response, c.failed), "Q7").registration, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Creg, CregReadingTest,
    ::testing::Values(CregCase {"Home", "+CREG: 0,1", 0, Registration::Home},
        CregCase {"Roaming", "+CREG: 0,5", 0, Registration::Roaming},
        CregCase {"Searching", "+CREG: 2,2,\"1A2B\",\"0C3D\"", 0, Registration::Searching},
        CregCase {"Denied", "+CREG: 0,3", 0, Registration::Denied},
        CregCase {"NotRegistered", "+CREG: 0,0", 0, Registration::NotRegistered},
        CregCase {"UnsolicitedIsNotTheAnswer", "+CREG: 1\r\n+CREG: 0,2", 0, Registration::Searching},
        CregCase {"OnlyUnsolicited", "+CREG: 1", 0, Registration::Unknown},
        CregCase {"StrangeState", "+CREG: 0,9", 0, Registration::Unknown},
        CregCase {"Failed", "+CREG: 0,1", 1, Registration::Unknown}, CregCase {"Empty", "", 0, Registration::Unknown}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SignalPollTest, LampsFollowTheProduct)
{
    const SignalReading five = ReadSignalPoll(Answered("+CSQ: 31,99", 0, "+CREG: 0,1", 0), "Q7");
    EXPECT_EQ(five.lampsShown, 5);
    EXPECT_EQ(five.lampsLit, 5);
    const SignalReading three = ReadSignalPoll(Answered("+CSQ: 31,99", 0, "+CREG: 0,1", 0), "Q7R");
    EXPECT_EQ(three.lampsShown, 3);
    EXPECT_EQ(three.lampsLit, 3);
    const SignalReading unknown = ReadSignalPoll(Answered("+CSQ: 99,99", 0, "+CREG: 0,1", 0), "Q7R");
    EXPECT_EQ(unknown.lampsShown, 3);
    EXPECT_EQ(unknown.lampsLit, 0);
}

TEST(SignalPollTest, CsvRowsLeaveUnknownEmpty)
{
    EXPECT_EQ(SignalCsvHeader(), "time,csq,dbm,bars,registration");
    const auto time = std::chrono::system_clock::time_point(1'700'000'000'123ms);
    EXPECT_EQ(SignalCsvRow(ReadSignalPoll(Answered("+CSQ: 20,99", 0, "+CREG: 0,5", 0), "Q7"), time),
        "2023-11-14T22:13:20.123Z,20,-73,5,roaming");
    EXPECT_EQ(SignalCsvRow(ReadSignalPoll(Answered("", 1, "", 1), "Q7"), time), "2023-11-14T22:13:20.123Z,,,,unknown");
}

TEST(SignalSessionTest, UnknownReadingsAreGapsThatNeverSetThePeak)
{
    SignalSession session(std::chrono::seconds(5));
    const auto start = std::chrono::system_clock::time_point(1'700'000'000s);
    const SignalReading good = ReadSignalPoll(Answered("+CSQ: 20,99", 0, "+CREG: 0,1", 0), "Q7");
    const SignalReading gap = ReadSignalPoll(Answered("+CSQ: 99,99", 0, "+CREG: 0,1", 0), "Q7");
    const SignalReading weak = ReadSignalPoll(Answered("+CSQ: 8,99", 0, "+CREG: 0,1", 0), "Q7");
    session.Add(start, weak);
    session.Add(start + 1s, good);
    session.Add(start + 2s, gap);
    EXPECT_EQ(session.Peak(), 20);
    session.ResetPeak();
    EXPECT_FALSE(session.Peak().has_value());
    session.Add(start + 3s, gap);
    EXPECT_FALSE(session.Peak().has_value());
    session.Add(start + 8s, weak);
    EXPECT_EQ(session.Peak(), 8);
    ASSERT_EQ(session.Recent().size(), 2U); // 3 s and 8 s are within five seconds of the newest
    EXPECT_FALSE(session.Recent().front().reading.known);
    EXPECT_EQ(session.Csv(),
        "time,csq,dbm,bars,registration\n"
        "2023-11-14T22:13:20.000Z,8,-97,2,home\n"
        "2023-11-14T22:13:21.000Z,20,-73,5,home\n"
        "2023-11-14T22:13:22.000Z,,,,home\n"
        "2023-11-14T22:13:23.000Z,,,,home\n"
        "2023-11-14T22:13:28.000Z,8,-97,2,home\n");
}

TEST(SignalSessionTest, KeepsABoundedNumberOfReadings)
{
    SignalSession session(std::chrono::seconds(300), 10);
    const auto start = std::chrono::system_clock::time_point(1'700'000'000s);
    const SignalReading good = ReadSignalPoll(Answered("+CSQ: 20,99", 0, "+CREG: 0,1", 0), "Q7");
    for (int second = 0; second < 100; ++second)
        session.Add(start + std::chrono::seconds(second), good);
    EXPECT_LE(session.Entries().size(), 10U);
    EXPECT_EQ(session.Entries().back().time, start + 99s);
}

// ---- The cadence --------------------------------------------------------------------------

TEST(SignalCadenceTest, DueTimesDoNotDriftWithSlowReadings)
{
    const SignalCadence::Clock::time_point start {};
    SignalCadence cadence(start, 1000ms);
    SignalCadence::Clock::time_point now = start;
    SignalCadence::Clock::time_point due {};
    for (int reading = 0; reading < 300; ++reading) {
        now += 137ms; // each reading takes its time; the next is still due on the grid
        due = cadence.NextDue(now);
        now = due;
    }
    EXPECT_EQ(due - start, 300 * 1000ms);
}

TEST(SignalCadenceTest, ALateReadingSkipsToTheNextDueTime)
{
    const SignalCadence::Clock::time_point start {};
    SignalCadence cadence(start, 1000ms);
    EXPECT_EQ(cadence.NextDue(start + 3500ms) - start, 4000ms);
    EXPECT_EQ(cadence.NextDue(start + 4000ms) - start, 5000ms);
}

// ---- Against the simulated device --------------------------------------------------------

class SimulatedPollTest : public ::testing::Test {
protected:
    bool Open(const sim::DeviceConfig& config)
    {
        device = std::make_unique<sim::SimulatedQ7>(config);
        return test::StartAndOpen(*device, link);
    }

    std::unique_ptr<sim::SimulatedQ7> device;
    SerialLink link;
};

TEST_F(SimulatedPollTest, FollowsTheSignal)
{
    sim::DeviceConfig config;
    config.signalQuality = 14;
    ASSERT_TRUE(Open(config));
    DirectRunner runner(link);
    SignalReading reading = PollSignal(runner, config.model);
    EXPECT_TRUE(reading.known);
    EXPECT_EQ(reading.quality, 14);
    EXPECT_EQ(reading.registration, Registration::Home);

    device->SetSignalQuality(99);
    reading = PollSignal(runner, config.model);
    EXPECT_FALSE(reading.known);
    EXPECT_EQ(reading.registration, Registration::Home);
}

TEST_F(SimulatedPollTest, DropoutsOfTheMovingSignalAreGaps)
{
    sim::DeviceConfig config;
    config.signalQuality = 17;
    config.signalPattern = sim::SignalPattern::Dropouts;
    ASSERT_TRUE(Open(config));
    DirectRunner runner(link);
    for (int question = 0; question < 10; ++question) {
        const SignalReading reading = PollSignal(runner, config.model);
        const bool dropped = question >= 8;
        EXPECT_EQ(reading.known, !dropped) << question;
        if (!dropped) {
            EXPECT_EQ(reading.quality, 17) << question;
        }
    }
}

struct PatternCase {
    const char* name;
    sim::SignalPattern pattern;
    long long question;
    int expected;
};

class SignalPatternTest : public ::testing::TestWithParam<PatternCase> { };

TEST_P(SignalPatternTest, MovesOneStepAQuestion)
{
    sim::DeviceConfig config;
    config.signalQuality = 17;
    config.signalPattern = GetParam().pattern;
    EXPECT_EQ(sim::SignalQualityAt(config, GetParam().question), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Sim, SignalPatternTest,
    ::testing::Values(PatternCase {"Steady", sim::SignalPattern::Steady, 1000, 17},
        PatternCase {"SweepStart", sim::SignalPattern::Sweep, 0, 0},
        PatternCase {"SweepTop", sim::SignalPattern::Sweep, 31, 31},
        PatternCase {"SweepDown", sim::SignalPattern::Sweep, 40, 22},
        PatternCase {"SweepAgain", sim::SignalPattern::Sweep, 62, 0},
        PatternCase {"DropoutKept", sim::SignalPattern::Dropouts, 7, 17},
        PatternCase {"DropoutLost", sim::SignalPattern::Dropouts, 18, 99}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SignalPatternPeakTest, StaysInRangeAndPeaksMidCycle)
{
    sim::DeviceConfig config;
    config.signalPattern = sim::SignalPattern::NoisyPeak;
    for (long long question = 0; question < 600; ++question) {
        const int quality = sim::SignalQualityAt(config, question);
        EXPECT_GE(quality, 0);
        EXPECT_LE(quality, 31);
    }
    EXPECT_GE(sim::SignalQualityAt(config, 30), 26);
    EXPECT_LE(sim::SignalQualityAt(config, 0), 8);
}

} // namespace
} // namespace tervane
