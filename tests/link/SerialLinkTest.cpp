#include "CommandLog.h"
#include "ProgressSink.h"
#include "PtyPeer.h"
#include "SerialLink.h"
#include "SerialPort.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <chrono>
#include <fstream>
#include <thread>

using tervane::FastClock;
using tervane::SerialLink;
using tervane::test::PtyPeer;

namespace {

class CountingProgress : public tervane::ProgressSink {
public:
    int Position() override { return position; }
    void SetPosition(int p) override { position = p; }
    int position = 0;
};

// Real time run `factor` times faster as a whole: pauses and the waits on the port alike, so
// a wait that only real time ends (a port that takes no bytes) still passes quickly.
class ScaledClock : public tervane::Clock {
public:
    explicit ScaledClock(uint32_t factor)
        : m_factor(factor)
    {
    }
    uint32_t TickCount() override
    {
        const auto real = std::chrono::steady_clock::now() - m_start;
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(real).count() * m_factor);
    }
    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms / m_factor)); }

private:
    const uint32_t m_factor;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

uint32_t Elapsed(tervane::Clock& clock, uint32_t since)
{
    return clock.TickCount() - since;
}

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        link.SetPortName(peer.Path());
        ASSERT_TRUE(link.OpenPort());
    }

    std::string Exchange(const std::string& command, const std::string& answer, int timeoutMs = 20000)
    {
        EXPECT_TRUE(link.SendCommand(command));
        EXPECT_EQ(peer.ReadUntil(command), command);
        peer.Write(answer);
        std::string raw;
        EXPECT_TRUE(link.ReadResponse(command, raw, 100000, timeoutMs, false, nullptr));
        return raw;
    }

    PtyPeer peer;
    FastClock clock {100};
    SerialLink link {clock};
};

TEST_F(SerialLinkTest, ReadEndsAtTheFinalResultCode)
{
    const uint32_t start = clock.TickCount();
    EXPECT_EQ(Exchange("AT+CGMI\r\n", "AT+CGMI\r\n\r\nWAVECOM\r\n\r\nOK\r\n"), "AT+CGMI\r\n\r\nWAVECOM\r\n\r\nOK\r\n");
    EXPECT_EQ(Exchange("AT+CIMI\r\n", "AT+CIMI\r\n\r\nERROR\r\n"), "AT+CIMI\r\n\r\nERROR\r\n");
    EXPECT_EQ(link.LastReadEnd(), tervane::ReadEnd::ResultCode);
    // Both reads had 20 s; ending at the result code takes a fraction of that.
    EXPECT_LT(Elapsed(clock, start), 20000u);
}

struct UnendedCase {
    const char* name;
    std::string answer;
    tervane::ReadEnd end;
};

class UnendedAnswers : public SerialLinkTest, public ::testing::WithParamInterface<UnendedCase> {};

// Anything but a final result code at the very end leaves the read to its deadline,
// keeping what arrived.
TEST_P(UnendedAnswers, RunToTheDeadlineKeepingWhatArrived)
{
    const uint32_t start = clock.TickCount();
    EXPECT_EQ(Exchange("AT\r\n", GetParam().answer, 300), GetParam().answer);
    EXPECT_GE(Elapsed(clock, start), 300u);
    EXPECT_EQ(link.LastReadEnd(), GetParam().end);
}

INSTANTIATE_TEST_SUITE_P(Table, UnendedAnswers,
    ::testing::Values(UnendedCase {"ok_not_last", "\r\nOK\r\nmore", tervane::ReadEnd::Unended},
        UnendedCase {"ok_without_crlf_before", "OK\r\n", tervane::ReadEnd::Unended},
        UnendedCase {"partial", "AT\r\n+CSQ: 1", tervane::ReadEnd::Unended},
        UnendedCase {"nothing", "", tervane::ReadEnd::Nothing},
        UnendedCase {"binary_and_nul", std::string("\x01\x00\xff\x80", 4), tervane::ReadEnd::Unended}),
    [](const auto& row) { return std::string(row.param.name); });

struct LongAnswerCase {
    const char* name;
    std::size_t bodyBytes; // before the result code; the buffer keeps 999 bytes
    std::string ending;
    bool failed;
};

void PrintTo(const LongAnswerCase& row, std::ostream* out)
{
    *out << row.name;
}

class LongAnswers : public SerialLinkTest, public ::testing::WithParamInterface<LongAnswerCase> {};

// An answer longer than the buffer keeps its beginning and still ends in the result code
// that ended it, so cleaning judges the command by how the device really answered.
TEST_P(LongAnswers, AreCutAndKeepTheirResultCode)
{
    const LongAnswerCase& c = GetParam();
    ASSERT_TRUE(link.SendCommand("AT\r\n"));
    peer.ReadUntil("AT\r\n");
    // More than the terminal holds: the device writes while the link reads.
    std::thread device([&] { peer.Write(std::string(c.bodyBytes, 'x') + c.ending); });
    std::string raw;
    const uint32_t start = clock.TickCount();
    const bool read = link.ReadResponse("AT\r\n", raw, 1000, 20000, false, nullptr);
    device.join();
    ASSERT_TRUE(read);
    EXPECT_LT(Elapsed(clock, start), 20000u);
    EXPECT_EQ(link.LastReadEnd(), tervane::ReadEnd::ResultCode);
    EXPECT_EQ(raw, std::string(999 - c.ending.size(), 'x') + c.ending);
    EXPECT_EQ(!link.CleanResponse("AT\r\n", raw), c.failed);
    EXPECT_EQ(raw, std::string(999 - c.ending.size(), 'x'));
}

INSTANTIATE_TEST_SUITE_P(Table, LongAnswers,
    ::testing::Values(LongAnswerCase {"ok", 5000, "\r\nOK\r\n", false},
        LongAnswerCase {"error", 150000, "\r\nERROR\r\n", true},
        LongAnswerCase {"error_across_the_buffer_end", 995, "\r\nERROR\r\n", true},
        LongAnswerCase {"error_filling_the_buffer_exactly", 990, "\r\nERROR\r\n", true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SerialLinkTest, DrainThrowsAwayWhatNobodyAskedFor)
{
    peer.Write("\r\nRING\r\nunsolicited");
    EXPECT_EQ(Exchange("AT\r\n", "AT\r\n\r\nOK\r\n"), "AT\r\n\r\nOK\r\n");
}

TEST_F(SerialLinkTest, SleepWritesNothingAndWaitsItsWholeTimeOut)
{
    CountingProgress progress;
    progress.position = 7;
    EXPECT_TRUE(link.SendCommand("SLEEP for the device"));
    const uint32_t start = clock.TickCount();
    std::string raw;
    EXPECT_TRUE(link.ReadResponse("SLEEP for the device", raw, 100000, 20000, false, &progress));
    EXPECT_EQ(raw, "SLEEP");
    EXPECT_EQ(link.LastReadEnd(), tervane::ReadEnd::Sleep);
    EXPECT_GE(Elapsed(clock, start), 20000u);
    EXPECT_GE(progress.position, 7 + 95);
    EXPECT_LE(progress.position, 7 + 102);
    EXPECT_EQ(peer.ReadAvailable(), "");
}

TEST(SerialLinkRealTime, SleepWaitsInRealTime)
{
    PtyPeer peer;
    SerialLink link;
    link.SetPortName(peer.Path());
    ASSERT_TRUE(link.OpenPort());
    const auto start = std::chrono::steady_clock::now();
    std::string raw;
    EXPECT_TRUE(link.ReadResponse("SLEEP", raw, 100, 300, false, nullptr));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(raw, "SLEEP");
}

TEST_F(SerialLinkTest, WaitingReadAdvancesTheProgressBar)
{
    CountingProgress progress;
    ASSERT_TRUE(link.SendCommand("AT\r\n"));
    std::string raw;
    EXPECT_TRUE(link.ReadResponse("AT\r\n", raw, 100000, 500, false, &progress));
    // One step per 100 ms without input.
    EXPECT_GE(progress.position, 3);
    EXPECT_LE(progress.position, 6);
}

TEST_F(SerialLinkTest, TimeOutZeroReadsAtMostBriefly)
{
    ASSERT_TRUE(link.SendCommand("AT\r\n"));
    std::string raw;
    EXPECT_TRUE(link.ReadResponse("AT\r\n", raw, 100000, 0, false, nullptr));
    EXPECT_EQ(raw, "");
}

TEST_F(SerialLinkTest, ReconnectWaitEndsWhenTheRestartedDeviceIsBack)
{
    ASSERT_TRUE(link.SendCommand("at&usbinterface=110\r\n"));
    peer.ReadUntil("\r\n");
    peer.Write("installing");
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        peer.HangUp();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        peer.Reopen();
    });
    std::string raw;
    const uint32_t start = clock.TickCount();
    EXPECT_TRUE(link.ReadResponse("at&usbinterface=110\r\n", raw, 100000, 300000, true, nullptr));
    device.join();
    EXPECT_EQ(raw, "installing");
    EXPECT_EQ(link.LastReadEnd(), tervane::ReadEnd::Reconnected);
    EXPECT_LT(Elapsed(clock, start), 300000u);
    EXPECT_TRUE(link.IsOpen());
    // The link talks to the new terminal.
    EXPECT_EQ(Exchange("AT\r\n", "AT\r\n\r\nOK\r\n"), "AT\r\n\r\nOK\r\n");
}

TEST_F(SerialLinkTest, NormalReadGoesOnAfterTheDeviceReturns)
{
    ASSERT_TRUE(link.SendCommand("AT\r\n"));
    peer.ReadUntil("\r\n");
    std::atomic<bool> stop {false};
    std::thread device([&] {
        peer.HangUp();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        peer.Reopen();
        // Keep answering until the link has re-opened and read it.
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            peer.Write("\r\nOK\r\n");
        }
    });
    std::string raw;
    EXPECT_TRUE(link.ReadResponse("AT\r\n", raw, 100000, 60000, false, nullptr));
    stop = true;
    device.join();
    EXPECT_TRUE(std::string_view(raw).ends_with("\r\nOK\r\n"));
}

TEST_F(SerialLinkTest, CommandWrittenWhileTheDeviceIsAwayWaitsForIt)
{
    peer.HangUp();
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        peer.Reopen();
    });
    EXPECT_TRUE(link.SendCommand("AT\r\n"));
    device.join();
    EXPECT_EQ(peer.ReadUntil("AT\r\n"), "AT\r\n");
}

TEST_F(SerialLinkTest, CommandWrittenWhileTheDeviceStaysAwayFailsAfterTheBound)
{
    FastClock fast {1000};
    SerialLink away {fast};
    away.SetPortName(peer.Path());
    link.ClosePort();
    ASSERT_TRUE(away.OpenPort());
    peer.HangUp();
    const uint32_t start = fast.TickCount();
    EXPECT_FALSE(away.SendCommand("AT\r\n"));
    EXPECT_GE(Elapsed(fast, start), 60000u);
    EXPECT_FALSE(away.IsOpen());
    std::string raw = "stale";
    EXPECT_FALSE(away.ReadResponse("AT\r\n", raw, 100, 100, false, nullptr));
    EXPECT_EQ(raw, "");
}

// A port that takes no bytes and reports no error holds one command for the link's bound
// once, not once before and once more after re-opening it.
TEST(SerialLinkStall, StalledWriteHoldsTheCommandForTheBoundOnce)
{
    PtyPeer peer;
    ScaledClock scaled {100};
    SerialLink link {scaled};
    link.SetPortName(peer.Path());
    ASSERT_TRUE(link.OpenPort());
    peer.StallOutput(true);
    const uint32_t start = scaled.TickCount();
    EXPECT_FALSE(link.SendCommand("AT\r\n"));
    const uint32_t held = Elapsed(scaled, start);
    EXPECT_GE(held, 60000u);
    // One poll of the port lasts 10 s of this clock; a second round would add 60 s.
    EXPECT_LT(held, 90000u);
    peer.StallOutput(false);
    EXPECT_EQ(peer.ReadAvailable(), "");
}

TEST_F(SerialLinkTest, WriteRawSendsFileBytesUnchanged)
{
    std::string data;
    for (int i = 0; i < 3000; ++i)
        data.push_back(static_cast<char>(i * 7));
    std::string got;
    std::thread reader([&] { got = peer.ReadUntil(data.substr(data.size() - 16), 5000); });
    EXPECT_EQ(link.WriteRaw(data.data(), data.size()), static_cast<long>(data.size()));
    reader.join();
    EXPECT_EQ(got, data);
}

TEST(SerialPortOpen, RefusesWhatIsNotAFreeTerminal)
{
    PtyPeer peer;
    const std::string dir = tervane::test::MakeScratchDir("tervane-open");
    const std::string plain = dir + "/plain";
    tervane::test::WriteWholeFile(plain, "x");

    EXPECT_FALSE(SerialLink::CanOpen(dir + "/missing"));
    EXPECT_FALSE(SerialLink::CanOpen(plain));
    EXPECT_FALSE(SerialLink::CanOpen(""));
    EXPECT_TRUE(SerialLink::CanOpen(peer.Path()));

    // Held by this link: a second open fails, also through the other name.
    SerialLink holder;
    holder.SetPortName(peer.Path());
    ASSERT_TRUE(holder.OpenPort());
    EXPECT_FALSE(SerialLink::CanOpen(peer.Path()));
    EXPECT_FALSE(SerialLink::CanOpen(peer.SlavePath()));
    holder.ClosePort();
    EXPECT_TRUE(SerialLink::CanOpen(peer.Path()));

    // Held by another program that locks.
    const int other = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(SerialLink::CanOpen(peer.Path()));
    ::close(other);
    EXPECT_TRUE(SerialLink::CanOpen(peer.Path()));

    ::unlink(plain.c_str());
    ::rmdir(dir.c_str());
}

struct OpenFailureCase {
    const char* name;
    // Makes the case and gives the path to open; `holder` is another program's hold.
    std::function<std::string(PtyPeer& peer, const std::string& dir, SerialLink& holder)> prepare;
    tervane::OpenFailure::Kind kind;
    std::string describedAs; // after "cannot open PATH: "
};

void PrintTo(const OpenFailureCase& row, std::ostream* out)
{
    *out << row.name;
}

class OpenFailures : public ::testing::TestWithParam<OpenFailureCase> {};

// Each way a port refuses to open is told apart, and the sentence for it says what to do.
TEST_P(OpenFailures, SayWhichItIs)
{
    PtyPeer peer;
    const std::string dir = tervane::test::MakeScratchDir("tervane-refuse");
    tervane::SetUucpLockDir(dir);
    SerialLink holder;
    const std::string path = GetParam().prepare(peer, dir, holder);
    tervane::OpenFailure failure;
    EXPECT_FALSE(SerialLink::CanOpen(path, &failure));
    tervane::SetUucpLockDir("/var/lock");
    EXPECT_EQ(failure.kind, GetParam().kind);
    EXPECT_EQ(tervane::DescribeOpenFailure(path, failure), "cannot open " + path + ": " + GetParam().describedAs);
    std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Table, OpenFailures,
    ::testing::Values(
        OpenFailureCase {"missing", [](PtyPeer&, const std::string& dir, SerialLink&) { return dir + "/ttyACM0"; },
            tervane::OpenFailure::Kind::Missing, "no such port; is the gateway plugged in?"},
        OpenFailureCase {"gone_device", [](PtyPeer& peer, const std::string&, SerialLink&) {
                peer.HangUp();
                return peer.Path();
            },
            tervane::OpenFailure::Kind::Missing, "no such port; is the gateway plugged in?"},
        OpenFailureCase {"plain_file",
            [](PtyPeer&, const std::string& dir, SerialLink&) {
                tervane::test::WriteWholeFile(dir + "/plain", "x");
                return dir + "/plain";
            },
            tervane::OpenFailure::Kind::NotATerminal, "not a serial port"},
        OpenFailureCase {"folder", [](PtyPeer&, const std::string& dir, SerialLink&) { return dir; },
            tervane::OpenFailure::Kind::NotATerminal, "not a serial port"},
        OpenFailureCase {"locked_by_another_program",
            [](PtyPeer& peer, const std::string&, SerialLink& holder) {
                holder.SetPortName(peer.SlavePath());
                holder.OpenPortNoDrain();
                return peer.Path();
            },
            tervane::OpenFailure::Kind::Busy, "in use by another program"},
        OpenFailureCase {"lock_file_names_its_process",
            [](PtyPeer& peer, const std::string& dir, SerialLink&) {
                const std::string name = peer.SlavePath().substr(peer.SlavePath().find_last_of('/') + 1);
                tervane::test::WriteWholeFile(dir + "/LCK.." + name, std::to_string(::getpid()) + "\n");
                return peer.Path();
            },
            tervane::OpenFailure::Kind::Busy,
            "in use by another program (process " + std::to_string(::getpid()) + " holds its lock file)"}),
    [](const auto& row) { return std::string(row.param.name); });

// What the system's error numbers stand for, including those a test cannot bring about
// as root (permission) and the sentence that tells the user how to get the port.
TEST(SerialPortOpen, ErrorNumbersAndTheirAdvice)
{
    using Kind = tervane::OpenFailure::Kind;
    EXPECT_EQ(tervane::OpenFailureKind(EACCES), Kind::PermissionDenied);
    EXPECT_EQ(tervane::OpenFailureKind(EPERM), Kind::PermissionDenied);
    EXPECT_EQ(tervane::OpenFailureKind(EBUSY), Kind::Busy);
    EXPECT_EQ(tervane::OpenFailureKind(ENOENT), Kind::Missing);
    EXPECT_EQ(tervane::OpenFailureKind(ENXIO), Kind::Missing);
    EXPECT_EQ(tervane::OpenFailureKind(ENOTTY), Kind::NotATerminal);
    EXPECT_EQ(tervane::OpenFailureKind(EIO), Kind::Other);

    const std::string denied = tervane::DescribeOpenFailure("/dev/ttyACM0", {Kind::PermissionDenied, EACCES, 0});
    EXPECT_EQ(denied.rfind("cannot open /dev/ttyACM0: permission denied. ", 0), 0u) << denied;
    EXPECT_NE(denied.find("udev rule"), std::string::npos);
    EXPECT_NE(denied.find("dialout"), std::string::npos);
    EXPECT_EQ(tervane::DescribeOpenFailure("/dev/ttyACM0", {Kind::Other, EIO, 0}),
        "cannot open /dev/ttyACM0: " + std::string(std::strerror(EIO)));
}

TEST(SerialPortOpen, UucpLockOfALivingProcessHoldsThePort)
{
    PtyPeer peer;
    const std::string dir = tervane::test::MakeScratchDir("tervane-lock");
    tervane::SetUucpLockDir(dir);
    const std::string name = peer.SlavePath().substr(peer.SlavePath().find_last_of('/') + 1);
    const std::string lockFile = dir + "/LCK.." + name;

    tervane::test::WriteWholeFile(lockFile, "      " + std::to_string(::getpid()) + "\n");
    EXPECT_FALSE(SerialLink::CanOpen(peer.Path()));

    // A lock left behind by a process that is gone does not hold it.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    tervane::test::WriteWholeFile(lockFile, std::to_string(child) + "\n");
    EXPECT_TRUE(SerialLink::CanOpen(peer.Path()));

    tervane::SetUucpLockDir("/var/lock");
    ::unlink(lockFile.c_str());
    ::rmdir(dir.c_str());
}

TEST(CommandLogFile, RecordsEachExchangeByteForByte)
{
    const std::string dir = tervane::test::MakeScratchDir("tervane-log");
    const std::string path = dir + "/command.log";
    PtyPeer peer;
    FastClock clock {100};
    tervane::CommandLog log;
    ASSERT_TRUE(log.Open(path));
    SerialLink link {clock};
    link.SetLog(&log);
    link.SetPortName(peer.Path());
    ASSERT_TRUE(link.OpenPort());

    log.WriteBanner("Tervane Q7 Dashboard", "Version 1.0.22.0", "Thu Dec 10 01:45:23 2026\n");
    ASSERT_TRUE(link.SendCommand("AT+CGMI\r\n"));
    peer.ReadUntil("\r\n");
    peer.Write("AT+CGMI\r\n\r\nWAVECOM\r\n\r\nOK\r\n");
    std::string raw;
    link.ReadResponse("AT+CGMI\r\n", raw, 100000, 5000, false, nullptr);
    link.CleanResponse("AT+CGMI\r\n", raw);
    link.SendCommand("SLEEP");
    link.ReadResponse("SLEEP", raw, 100000, 100, false, nullptr);
    link.CleanResponse("SLEEP", raw);
    log.WriteUploadStart("/WEB/python/main.py", 1500);
    log.WriteUploadProgress(0, 1500, 1024);
    log.WriteUploadEnd(1500, 1500);
    log.Close();

    const std::string rule(79, '*');
    const std::string r = rule + "\r\n";
    const std::string expected = r + "Tervane Q7 Dashboard Version 1.0.22.0 STARTED AT Thu Dec 10 01:45:23 2026\r\n" + r
        + "COMMAND:\r\n" + r + "AT+CGMI\r\n\r\n" + r
        + "RAW RESPONSE:\r\n" + r + "AT+CGMI\r\n\r\nWAVECOM\r\n\r\nOK\r\n\r\n" + r
        + "PARSED RESPONSE:\r\n" + r + "WAVECOM\r\n" + r + "PARSED RESULT: \r\n" + r
        + "PARSED RESPONSE:\r\n" + r + "\r\n" + r + "PARSED RESULT: \r\n" + r
        + "Uploading file \"/WEB/python/main.py\" with 1500 bytes.\r\n\r\n" + r
        + "Uploading 0/1500 bytes (1024) complete...\r\n"
        + "Finished. 1500/1500 bytes uploaded.\r\n" + r + "\r\n";
    EXPECT_EQ(tervane::test::ReadWholeFile(path), expected);

    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A second run appends.
    tervane::CommandLog again;
    ASSERT_TRUE(again.Open(path));
    again.WriteBanner("T", "V", "now\n");
    again.Close();
    EXPECT_EQ(tervane::test::ReadWholeFile(path), expected + r + "T V STARTED AT now\r\n" + r);
    ::unlink(path.c_str());
    ::rmdir(dir.c_str());
}

// The log is a regular file or nothing: a FIFO without a reader would block the open for
// good, one with a reader would stall every write, and a folder or device holds no log.
struct NotALog {
    const char* name;
    std::function<std::string(const std::string& dir)> make;
};

class CommandLogRefuses : public ::testing::TestWithParam<NotALog> {};

TEST_P(CommandLogRefuses, WhatIsNotARegularFileWithoutWaiting)
{
    const std::string dir = tervane::test::MakeScratchDir("tervane-log");
    const std::string path = GetParam().make(dir);
    tervane::CommandLog log;
    std::string failure;
    EXPECT_FALSE(log.Open(path, &failure));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(failure, "not a regular file");
    std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Files, CommandLogRefuses,
    ::testing::Values(NotALog {"fifo",
                          [](const std::string& dir) {
                              const std::string path = dir + "/command.log";
                              EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
                              return path;
                          }},
        NotALog {"fifoWithReader",
            [](const std::string& dir) {
                const std::string path = dir + "/command.log";
                EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
                // Kept open by the test process until it ends; the open must still be refused.
                EXPECT_GE(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC), 0);
                return path;
            }},
        NotALog {"device", [](const std::string&) { return std::string("/dev/null"); }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CommandLogFile, FailedWriteLeavesOnlyTheCommandEntry)
{
    const std::string dir = tervane::test::MakeScratchDir("tervane-log");
    const std::string path = dir + "/command.log";
    tervane::CommandLog log;
    ASSERT_TRUE(log.Open(path));
    FastClock clock {1000};
    SerialLink link {clock};
    link.SetLog(&log);
    link.SetPortName(dir + "/no-such-port");
    EXPECT_FALSE(link.SendCommand("AT\r\n"));
    log.Close();
    const std::string r = std::string(79, '*') + "\r\n";
    EXPECT_EQ(tervane::test::ReadWholeFile(path), "COMMAND:\r\n" + r + "AT\r\n\r\n" + r);
    ::unlink(path.c_str());
    ::rmdir(dir.c_str());
}

} // namespace
