#include "CommandLog.h"
#include "PtyPeer.h"
#include "SerialLink.h"
#include "TestSupport.h"
#include "UploadWorker.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

using tervane::FastClock;
using tervane::SerialLink;
using tervane::UploadResult;
using tervane::UploadSource;
using tervane::UploadStatus;
using tervane::test::PtyPeer;

namespace {

const std::string kRule(79, '*');

using tervane::test::Pattern;

class RecordingObserver : public tervane::UploadObserver {
public:
    void SetRange(int maximum) override { range = maximum; }
    void Step() override { ++steps; }
    int range = -1;
    int steps = 0;
};

struct LoggedChunk {
    long long sent;
    long long size;
    long long wrote;
};

// The "Uploading <sent>/<size> bytes (<wrote>) complete..." lines of the log.
std::vector<LoggedChunk> LoggedChunks(const std::string& logText)
{
    std::vector<LoggedChunk> chunks;
    std::size_t pos = 0;
    while ((pos = logText.find("Uploading ", pos)) != std::string::npos) {
        const std::size_t end = logText.find("\r\n", pos);
        const std::string line = logText.substr(pos, end - pos);
        pos = end;
        LoggedChunk chunk {};
        int consumed = 0;
        if (std::sscanf(line.c_str(), "Uploading %lld/%lld bytes (%lld) complete...%n", &chunk.sent, &chunk.size,
                &chunk.wrote, &consumed) == 3
            && static_cast<std::size_t>(consumed) == line.size())
            chunks.push_back(chunk);
    }
    return chunks;
}

std::vector<long long> ChunkSizes(const std::vector<LoggedChunk>& chunks)
{
    std::vector<long long> sizes;
    for (const auto& chunk : chunks)
        sizes.push_back(chunk.wrote);
    return sizes;
}

// How the scripted device behaves.
struct DeviceScript {
    // A line holding this is answered ERROR and the device stops listening.
    std::string errorFor;
    // The answer once all data has arrived.
    std::string dataAnswer = "\r\nOK\r\n";
    // Hang up once this many data bytes have arrived.
    long long hangUpAfter = -1;
};

DeviceScript ErrorFor(std::string text)
{
    DeviceScript script;
    script.errorFor = std::move(text);
    return script;
}

DeviceScript DataAnswer(std::string answer)
{
    DeviceScript script;
    script.dataAnswer = std::move(answer);
    return script;
}

DeviceScript HangUpAfter(long long bytes)
{
    DeviceScript script;
    script.hangUpAfter = bytes;
    return script;
}

// The device's side of the upload exchange on the far end of the terminal: echoes and
// answers each line, takes the announced number of data bytes, and keeps what it got.
class ScriptedDevice {
public:
    ScriptedDevice(PtyPeer& peer, DeviceScript script)
        : m_peer(peer)
        , m_script(std::move(script))
        , m_thread([this] { Run(); })
    {
    }
    ~ScriptedDevice() { Join(); }

    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    std::vector<std::string> commands;
    std::string data;

private:
    void Run()
    {
        long long size = 0;
        for (;;) {
            const std::string line = m_peer.ReadUntil("\r\n", 5000);
            if (line.empty())
                return;
            commands.push_back(line);
            if (!m_script.errorFor.empty() && line.find(m_script.errorFor) != std::string::npos) {
                m_peer.Write(line + "\r\nERROR\r\n");
                return;
            }
            if (line.starts_with("AT&USBINTERFACE=17,"))
                size = std::stoll(line.substr(19));
            m_peer.Write(line + "\r\nOK\r\n");
            if (line == "AT&USBINTERFACE=5\r\n") {
                if (!ReceiveData(size))
                    return;
                m_peer.Write(m_script.dataAnswer);
                if (m_script.dataAnswer != "\r\nOK\r\n")
                    return;
            }
            if (line.starts_with("AT&USBINTERFACE=18,"))
                return;
        }
    }

    bool ReceiveData(long long size)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (static_cast<long long>(data.size()) < size && std::chrono::steady_clock::now() < deadline) {
            data += m_peer.ReadAvailable(2);
            if (m_script.hangUpAfter >= 0 && static_cast<long long>(data.size()) >= m_script.hangUpAfter) {
                m_peer.HangUp();
                return false;
            }
        }
        return true;
    }

    PtyPeer& m_peer;
    DeviceScript m_script;
    std::thread m_thread;
};

class UploadOverPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.empty());
        link.SetPortName(peer.Path());
        ASSERT_TRUE(link.OpenPort());
        ASSERT_TRUE(log.Open(LogPath()));
        link.SetLog(&log);
    }
    void TearDown() override
    {
        log.Close();
        for (const auto& path : files)
            ::unlink(path.c_str());
        ::unlink(LogPath().c_str());
        ::rmdir(dir.c_str());
    }

    std::string LogPath() const { return dir + "/command.log"; }
    std::string LogText() const { return tervane::test::ReadWholeFile(LogPath()); }
    std::string SourceFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(tervane::test::WriteWholeFile(path, bytes));
        files.push_back(path);
        return path;
    }

    std::string dir = tervane::test::MakeScratchDir("tervane-upload");
    std::vector<std::string> files;
    PtyPeer peer;
    FastClock clock {100};
    SerialLink link {clock};
    tervane::CommandLog log;
    RecordingObserver observer;
};

struct SizeCase {
    const char* name;
    std::size_t size;
    std::vector<long long> chunks;
};

void PrintTo(const SizeCase& row, std::ostream* os)
{
    *os << row.name;
}

std::vector<long long> Repeat(long long value, int times, std::vector<long long> tail)
{
    std::vector<long long> out(static_cast<std::size_t>(times), value);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

class UploadSizes : public UploadOverPty, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(UploadSizes, ArriveByteIdenticalInTheChunksOfTheRule)
{
    const auto& row = GetParam();
    const std::string bytes = Pattern(row.size);
    const std::string path = SourceFile("up.bin", bytes);
    const std::string n = std::to_string(row.size);
    ScriptedDevice device(peer, {});

    const UploadResult result = tervane::RunUpload(link, UploadSource(path, false, false), &observer);
    device.Join();

    EXPECT_EQ(result.status, UploadStatus::Completed);
    EXPECT_EQ(result.size, static_cast<long long>(row.size));
    EXPECT_EQ(result.sent, static_cast<long long>(row.size));
    EXPECT_EQ(device.data, bytes);
    const std::vector<std::string> expectedCommands {"AT&USBINTERFACE=17," + n + "\r\n",
        "AT&USBINTERFACE=3," + n + "\r\n", "AT&USBINTERFACE=16,\"/WEB/python/up.bin\"\r\n",
        "AT&USBINTERFACE=9,/WEB/python/up.bin\r\n", "AT&USBINTERFACE=5\r\n", "AT&USBINTERFACE=18," + n + "\r\n"};
    EXPECT_EQ(device.commands, expectedCommands);

    const std::string logText = LogText();
    const auto chunks = LoggedChunks(logText);
    EXPECT_EQ(ChunkSizes(chunks), row.chunks);
    long long sent = 0;
    for (const auto& chunk : chunks) {
        EXPECT_EQ(chunk.sent, sent);
        EXPECT_EQ(chunk.size, static_cast<long long>(row.size));
        sent += chunk.wrote;
    }
    EXPECT_NE(logText.find("Uploading file \"/WEB/python/up.bin\" with " + n + " bytes.\r\n\r\n" + kRule + "\r\n"),
        std::string::npos);
    EXPECT_NE(logText.find("Finished. " + n + "/" + n + " bytes uploaded.\r\n" + kRule + "\r\n\r\n"),
        std::string::npos);

    EXPECT_EQ(observer.range, static_cast<int>(row.size / 1024 + 5));
    EXPECT_EQ(observer.steps, static_cast<int>(row.chunks.size()));
}

INSTANTIATE_TEST_SUITE_P(Table, UploadSizes,
    ::testing::Values(SizeCase {"empty", 0, {}}, SizeCase {"one", 1, {1}}, SizeCase {"b63", 63, {63}},
        SizeCase {"b64", 64, {63, 1}}, SizeCase {"b1024", 1024, {1024}}, SizeCase {"b1500", 1500, {1024, 476}},
        SizeCase {"b1536", 1536, {1024, 511, 1}}, SizeCase {"b20000", 20000, Repeat(1024, 19, {544})}),
    [](const auto& row) { return std::string(row.param.name); });

struct RefusalCase {
    const char* name;
    const char* announcement;
};

void PrintTo(const RefusalCase& row, std::ostream* os)
{
    *os << row.name;
}

class AnnouncementErrors : public UploadOverPty, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(AnnouncementErrors, StopTheUploadBeforeAnyData)
{
    const std::string path = SourceFile("main.py", Pattern(1500));
    ScriptedDevice device(peer, ErrorFor(GetParam().announcement));

    const UploadResult result = tervane::RunUpload(link, UploadSource(path, false, true), &observer);
    device.Join();

    EXPECT_EQ(result.status, UploadStatus::AnnouncementFailed);
    ASSERT_FALSE(device.commands.empty());
    EXPECT_EQ(result.failedCommand, device.commands.back());
    EXPECT_NE(device.commands.back().find(GetParam().announcement), std::string::npos);
    // Nothing after the refused line: no further announcement, no data, no closing line.
    EXPECT_EQ(peer.ReadAvailable(300), "");
    EXPECT_EQ(result.sent, 0);
    EXPECT_EQ(observer.range, -1);
    EXPECT_EQ(LogText().find("Uploading"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Table, AnnouncementErrors,
    ::testing::Values(RefusalCase {"size_17", "=17,"}, RefusalCase {"size_3", "=3,"},
        RefusalCase {"quoted_destination_16", "=16,"}, RefusalCase {"destination_9", "=9,"},
        RefusalCase {"data_5", "=5\r\n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(UploadOverPty, ADataAnswerOfErrorIsNotClosedAndNotASuccess)
{
    const std::string bytes = Pattern(3000);
    const std::string path = SourceFile("main.py", bytes);
    ScriptedDevice device(peer, DataAnswer("\r\nERROR\r\n"));

    const UploadResult result = tervane::RunUpload(link, UploadSource(path, false, false), nullptr);
    device.Join();

    EXPECT_EQ(result.status, UploadStatus::DataRejected);
    EXPECT_EQ(device.data, bytes);
    EXPECT_EQ(device.commands.back(), "AT&USBINTERFACE=5\r\n");
    EXPECT_EQ(peer.ReadAvailable(300), "");
}

TEST_F(UploadOverPty, ADeviceThatHangsUpInTheDataEndsTheUploadAsFailed)
{
    // Paced slowly enough that the device can stop part way.
    link.ClosePort();
    FastClock slower {10};
    SerialLink slowLink {slower};
    slowLink.SetPortName(peer.Path());
    ASSERT_TRUE(slowLink.OpenPort());
    slowLink.SetLog(&log);
    slowLink.SetLimits({.reopenGiveUpMs = 2000, .drainMaxMs = 5000});
    const std::string bytes = Pattern(60000);
    const std::string path = SourceFile("main.py", bytes);
    ScriptedDevice device(peer, HangUpAfter(20000));

    const auto start = std::chrono::steady_clock::now();
    const UploadResult result = tervane::RunUpload(slowLink, UploadSource(path, false, false), &observer);
    device.Join();

    EXPECT_EQ(result.status, UploadStatus::DataWriteFailed);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_LT(result.sent, 60000);
    // What arrived is the start of the file, nothing twice.
    EXPECT_EQ(device.data, bytes.substr(0, device.data.size()));
    EXPECT_NE(LogText().find("Finished. " + std::to_string(result.sent) + "/60000 bytes uploaded.\r\n"),
        std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

struct SourceRefusal {
    const char* name;
    std::string file;   // created when not empty
    std::string path;   // relative to the scratch folder
    bool meshFile;
    UploadStatus status;
};

void PrintTo(const SourceRefusal& row, std::ostream* os)
{
    *os << row.name;
}

class RefusedSources : public UploadOverPty, public ::testing::WithParamInterface<SourceRefusal> {};

TEST_P(RefusedSources, SendNothingAndSayWhy)
{
    const auto& row = GetParam();
    if (!row.file.empty())
        SourceFile(row.file, "print('hello')\n");
    const UploadResult result = tervane::RunUpload(link, UploadSource(dir + "/" + row.path, false, row.meshFile), &observer);

    EXPECT_EQ(result.status, row.status);
    EXPECT_TRUE(result.NothingSent());
    EXPECT_STRNE(tervane::UploadStatusText(result.status), "");
    EXPECT_EQ(peer.ReadAvailable(200), "");
    EXPECT_EQ(observer.range, -1);
    EXPECT_EQ(LogText(), "");
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedSources,
    ::testing::Values(SourceRefusal {"missing", "", "absent.py", false, UploadStatus::SourceUnreadable},
        SourceRefusal {"folder", "", "", false, UploadStatus::NoFileName},
        SourceRefusal {"folder_by_name", "", ".", false, UploadStatus::NoFileName},
        SourceRefusal {"quote", "say \"hi\".py", "say \"hi\".py", false, UploadStatus::UnsafeFileName},
        SourceRefusal {"line_end", "a\r\nAT+CFUN=1.py", "a\r\nAT+CFUN=1.py", true, UploadStatus::UnsafeFileName},
        SourceRefusal {"markup", "<b>&amp;.py", "<b>&amp;.py", false, UploadStatus::UnsafeFileName},
        SourceRefusal {"too_long", std::string(65, 'x'), std::string(65, 'x'), false,
            UploadStatus::DestinationTooLong}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(UploadOverPty, AFolderOrAFifoIsUnreadable)
{
    const std::string sub = dir + "/scripts";
    ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
    const std::string fifo = dir + "/pipe.py";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    files.push_back(fifo);
    files.push_back(sub);

    EXPECT_EQ(tervane::RunUpload(link, UploadSource(sub, false, false), nullptr).status,
        UploadStatus::SourceUnreadable);
    EXPECT_EQ(tervane::RunUpload(link, UploadSource(fifo, false, false), nullptr).status,
        UploadStatus::SourceUnreadable);
    EXPECT_EQ(peer.ReadAvailable(200), "");
    ::rmdir(sub.c_str());
}

TEST_F(UploadOverPty, AFileBeyondTheDevicesCountIsRefused)
{
    const std::string path = SourceFile("huge.bin", "");
    // Sparse: the size is all that is looked at before refusing.
    ASSERT_EQ(::truncate(path.c_str(), 0x80000000LL), 0);
    const UploadResult result = tervane::RunUpload(link, UploadSource(path, true, false), &observer);
    EXPECT_EQ(result.status, UploadStatus::TooLarge);
    EXPECT_EQ(result.size, 0x80000000LL);
    EXPECT_EQ(peer.ReadAvailable(200), "");
}

// The chunk loop on its own, with a port that takes what a test tells it to.
class ChunkLoop : public ::testing::Test {
protected:
    // A clock that only counts the pauses.
    class PauseClock : public tervane::Clock {
    public:
        uint32_t TickCount() override { return now; }
        void Sleep(uint32_t ms) override
        {
            pauses.push_back(ms);
            now += ms;
        }
        uint32_t now = 0;
        std::vector<uint32_t> pauses;
    };

    void SetUp() override { ASSERT_TRUE(log.Open(dir + "/command.log")); }
    void TearDown() override
    {
        log.Close();
        ::unlink((dir + "/command.log").c_str());
        ::rmdir(dir.c_str());
    }
    std::vector<LoggedChunk> Logged() const
    {
        return LoggedChunks(tervane::test::ReadWholeFile(dir + "/command.log"));
    }

    std::string dir = tervane::test::MakeScratchDir("tervane-chunks");
    tervane::CommandLog log;
    PauseClock clock;
    RecordingObserver observer;
    std::string received;
};

TEST_F(ChunkLoop, AShortWriteGoesOnFromTheFirstByteNotTaken)
{
    const std::string bytes = Pattern(3000);
    // The port takes 700 bytes of the second chunk, then everything.
    int calls = 0;
    auto port = [&](const char* data, std::size_t length) -> long {
        const std::size_t take = ++calls == 2 ? 700 : length;
        received.append(data, take);
        return static_cast<long>(take);
    };
    const auto result = tervane::WriteUploadData(bytes, port, clock, &log, &observer);

    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.sent, 3000);
    EXPECT_EQ(received, bytes);
    const auto chunks = Logged();
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[1].sent, 1024);
    EXPECT_EQ(chunks[1].wrote, 700);
    EXPECT_EQ(chunks[2].sent, 1724);
    EXPECT_EQ(chunks[2].wrote, 1024);
    // 3000 - 2748 = 252: not a multiple of 64, so sent whole.
    EXPECT_EQ(chunks[3].sent, 2748);
    EXPECT_EQ(chunks[3].wrote, 252);
    EXPECT_EQ(clock.pauses, std::vector<uint32_t>(4, 50u));
    EXPECT_EQ(observer.steps, 4);
}

// A port that stalls: the writes take 7 ms, one of them 300 ms and a short one 120 ms.
// Every chunk still gets its whole pause after it has gone out; none is sent early to make
// up for the stall.
TEST_F(ChunkLoop, EveryChunkWaitsAWholePauseAfterTheOneBeforeHasGoneOut)
{
    const std::string bytes = Pattern(6 * 1024);
    clock.now = 1000;
    const uint32_t writeTimes[] = {7, 7, 300, 7, 120, 7, 7};
    int calls = 0;
    std::vector<std::pair<uint32_t, uint32_t>> writes;  // start and end of each write
    auto port = [&](const char*, std::size_t length) -> long {
        const uint32_t took = writeTimes[calls];
        const auto taken = static_cast<long>(++calls == 5 ? 100 : length);
        writes.emplace_back(clock.now, clock.now + took);
        clock.now += took;
        return taken;
    };
    const auto result = tervane::WriteUploadData(bytes, port, clock, nullptr, nullptr);

    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.sent, 6 * 1024);
    ASSERT_EQ(writes.size(), 7u);
    uint32_t floor = 0;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(writes[i].first - writes[i - 1].second, tervane::kChunkPauseMs) << "chunk " << i;
        }
        floor += writes[i].second - writes[i].first + tervane::kChunkPauseMs;
    }
    // Exactly the writes and their pauses: no pause is lengthened either.
    EXPECT_EQ(clock.now - 1000, floor);
    EXPECT_EQ(clock.pauses, std::vector<uint32_t>(7, tervane::kChunkPauseMs));
}

TEST_F(ChunkLoop, SixShortWritesInARowGiveUp)
{
    const std::string bytes = Pattern(5000);
    auto port = [&](const char* data, std::size_t) -> long {
        received.append(data, 10);
        return 10;
    };
    const auto result = tervane::WriteUploadData(bytes, port, clock, &log, nullptr);

    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.sent, 60);
    EXPECT_EQ(received, bytes.substr(0, 60));
    EXPECT_EQ(Logged().size(), 6u);
}

TEST_F(ChunkLoop, AFailedWriteEndsTheLoopUnlogged)
{
    const std::string bytes = Pattern(5000);
    int calls = 0;
    auto port = [&](const char*, std::size_t length) -> long { return ++calls == 3 ? -1 : static_cast<long>(length); };
    const auto result = tervane::WriteUploadData(bytes, port, clock, &log, nullptr);

    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.sent, 2048);
    EXPECT_EQ(Logged().size(), 2u);
}

TEST_F(ChunkLoop, ABigFileStepsTheBarWithinItsRange)
{
    const std::string bytes(64u << 20, 'x');
    auto port = [](const char*, std::size_t length) -> long { return static_cast<long>(length); };
    const auto plan = tervane::PlanUploadProgress(static_cast<long long>(bytes.size()));
    const auto result = tervane::WriteUploadData(bytes, port, clock, nullptr, &observer);

    EXPECT_FALSE(result.failed);
    EXPECT_EQ(plan.chunksPerStep, 2);
    EXPECT_EQ(observer.steps, 65536 / 2);
    EXPECT_LE(observer.steps, plan.range);
}

struct ChunkCase {
    long long remaining;
    int chunk;
};

TEST(UploadRules, ChunkSizes)
{
    const ChunkCase rows[] = {{0, 0}, {-3, 0}, {1, 1}, {63, 63}, {64, 63}, {65, 65}, {128, 127}, {476, 476},
        {512, 511}, {1023, 1023}, {1024, 1024}, {1025, 1024}, {5000, 1024}};
    for (const auto& row : rows)
        EXPECT_EQ(tervane::UploadChunkSize(row.remaining), row.chunk) << row.remaining;
}

TEST(UploadRules, ProgressRangeIsSizeOver1024PlusFiveScaledToSixteenBits)
{
    EXPECT_EQ(tervane::PlanUploadProgress(0).range, 5);
    EXPECT_EQ(tervane::PlanUploadProgress(1500).range, 6);
    EXPECT_EQ(tervane::PlanUploadProgress(20000).range, 24);
    EXPECT_EQ(tervane::PlanUploadProgress(1500).chunksPerStep, 1);
    // The largest unscaled range.
    EXPECT_EQ(tervane::PlanUploadProgress((65535 - 5) * 1024LL + 1023).range, 65535);
    for (const long long size : {64LL << 20, 1LL << 30, tervane::kMaxUploadSize}) {
        const auto plan = tervane::PlanUploadProgress(size);
        EXPECT_LE(plan.range, tervane::kMaxUploadProgressRange) << size;
        EXPECT_GE(static_cast<long long>(plan.range) * plan.chunksPerStep, size / 1024 + 5) << size;
    }
}

TEST(UploadRules, TheDataAnswerIsAwaitedASecondPerStarted10000Bytes)
{
    EXPECT_EQ(tervane::UploadAnswerTimeout(0), 1000);
    EXPECT_EQ(tervane::UploadAnswerTimeout(1500), 1000);
    EXPECT_EQ(tervane::UploadAnswerTimeout(9999), 1000);
    EXPECT_EQ(tervane::UploadAnswerTimeout(10000), 2000);
    EXPECT_EQ(tervane::UploadAnswerTimeout(20000), 3000);
    EXPECT_EQ(tervane::UploadAnswerTimeout(tervane::kMaxUploadSize), 214749000);
}

} // namespace
