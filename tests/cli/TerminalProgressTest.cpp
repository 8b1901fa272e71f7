#include "TerminalProgress.h"

#include "Clock.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tervane {
namespace {

// Time that moves only when the work pauses.
class StepClock : public Clock {
public:
    uint32_t TickCount() override { return now; }
    void Sleep(uint32_t ms) override { now += ms; }
    uint32_t now = 1000;
};

CommandBatch TwoRows()
{
    CommandBatch batch;
    USBCommand row;
    row.command = "AT\r\n";
    row.prompt = "Detecting modem...";
    row.timeout = 1000;
    batch.AddTail(row);
    row.command = "AT+CSQ\r\n";
    row.prompt = "Reading receive signal strength (RSSI)...";
    row.timeout = 3000;
    batch.AddTail(row);
    return batch;
}

// The lines drawn on the terminal, between carriage returns, without the erase sequences.
std::vector<std::string> DrawnLines(const std::string& drawn)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < drawn.size()) {
        std::size_t end = drawn.find('\r', start + 1);
        std::string line = drawn.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line[0] == '\r')
            line.erase(0, 1);
        for (std::size_t at; (at = line.find("\033[K")) != std::string::npos;)
            line.erase(at, 3);
        if (!line.empty())
            lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end;
    }
    return lines;
}

struct FormatCase {
    const char* name;
    ProgressLine line;
    int width;
    std::vector<std::string> shown;
    std::vector<std::string> notShown;
};

ProgressLine Transfer(long long done, long long total, double rate)
{
    ProgressLine line;
    line.label = "Uploading main.py to /WEB/python/main.py";
    line.position = static_cast<int>(done / 1024);
    line.maximum = static_cast<int>(total / 1024 + 5);
    line.bytesDone = done;
    line.bytesTotal = total;
    line.bytesPerSecond = rate;
    return line;
}

ProgressLine Batch(std::string label, int position, int maximum)
{
    ProgressLine line;
    line.label = std::move(label);
    line.position = position;
    line.maximum = maximum;
    return line;
}

void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.name;
}

class TerminalProgressFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(TerminalProgressFormat, FitsItsWidth)
{
    const FormatCase& c = GetParam();
    const std::string text = TerminalProgress::Format(c.line, c.width);
    EXPECT_LE(text.size(), static_cast<std::size_t>(c.width - 1)) << text;
    EXPECT_EQ(text.find_first_of("\r\n\t\x1b"), std::string::npos) << text;
    for (const auto& part : c.shown)
        EXPECT_NE(text.find(part), std::string::npos) << "'" << part << "' missing from '" << text << "'";
    for (const auto& part : c.notShown)
        EXPECT_EQ(text.find(part), std::string::npos) << "'" << part << "' in '" << text << "'";
}

INSTANTIATE_TEST_SUITE_P(Lines, TerminalProgressFormat,
    ::testing::Values(
        FormatCase{"BatchAt80", Batch("Detecting modem...", 5, 10), 80, {"Detecting modem... ", "]  50%"}, {}},
        FormatCase{"OverFullIsAHundred", Batch("x", 30, 10), 40, {"######] 100%"}, {}},
        FormatCase{"TransferAt80", Transfer(90000, 200000, 18200), 80,
            {"Uploading main", "90.0/200.0 kB", "18.2 kB/s", "0:06 left"}, {}},
        FormatCase{"TransferWithoutARateYet", Transfer(2048, 200000, 0), 100, {"--- B/s", "--:-- left"}, {}},
        FormatCase{"LongTransferTakesHours", Transfer(1000000, 300000000, 20000), 100, {"4:09:10 left", "1.00/300.00 MB"}, {}},
        FormatCase{"TransferAt50GivesUpRateAndLabel", Transfer(90000, 200000, 18200), 50,
            {"]  43%  90.0/200.0 kB  0:06 left"}, {"kB/s", "Upload"}},
        FormatCase{"TransferAt40KeepsTimeLeftLast", Transfer(90000, 200000, 18200), 40, {"#", "]  43%  0:06 left"},
            {"200.0"}},
        FormatCase{"SmallTransferInBytes", Transfer(300, 800, 0), 80, {"300/800 B"}, {}},
        FormatCase{"NarrowDropsTheLabel", Batch("Detecting modem...", 5, 10), 20, {"[", " 50%"}, {"Detect"}},
        FormatCase{"NarrowerShrinksTheBar", Batch("Detecting modem...", 5, 10), 12, {"[##  ]  50%"}, {}},
        FormatCase{"TinyShowsTheNumber", Batch("Detecting modem...", 5, 10), 6, {"50%"}, {"["}},
        FormatCase{"LongLabelIsCut", Batch(std::string(100, 'a'), 0, 10), 80, {"a... ["}, {}},
        FormatCase{"ControlsInTheLabel", Batch("main\n.py\x1b[2J", 0, 10), 80, {"main?.py?[2J"}, {}},
        FormatCase{"NoCutInsideAUtf8Character", Batch(std::string(57, 'a') + "\xc3\xa9\xc3\xa9\xc3\xa9", 0, 0), 80,
            {"a..."}, {"\xc3."}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TerminalProgressTest, DrawsOnATerminalAndClearsAtTheEnd)
{
    std::ostringstream err;
    StepClock clock;
    TerminalProgress progress(err, true, clock);
    const CommandBatch batch = TwoRows();
    progress.BeginBatch(batch);
    progress.CommandStarting(1);
    EXPECT_EQ(progress.Position(), 10) << "the second row starts after the first one's share";
    progress.SetPosition(20);
    progress.End();
    const std::string drawn = err.str();
    EXPECT_NE(drawn.find("Detecting modem..."), std::string::npos);
    EXPECT_NE(drawn.find("Reading receive signal strength (RSSI)..."), std::string::npos);
    EXPECT_NE(drawn.find(" 50%"), std::string::npos);
    EXPECT_EQ(drawn.substr(drawn.size() - 4), "\r\033[K") << "the line is erased at the end";
    EXPECT_EQ(drawn.find('\n'), std::string::npos);
}

// A 200 kB upload on a 50-column terminal that widens to 100 half-way: every redraw stays
// on its one line and within the width of the moment.
TEST(TerminalProgressTest, AnUploadFollowsTheTerminalsWidth)
{
    std::ostringstream err;
    StepClock clock;
    int columns = 50;
    TerminalProgress progress(err, true, clock, [&columns] { return columns; });
    const long long size = 200 * 1000;
    progress.BeginUpload("Uploading sensor.py to /WEB/python/sensor.py", size);
    clock.Sleep(600);  // the announcements: not part of the rate
    progress.SetRange(PlanUploadProgress(size).range);
    std::vector<std::size_t> widthChanges;
    for (long long sent = 0; sent < size; sent += kUploadChunkSize) {
        clock.Sleep(kChunkPauseMs);
        progress.Step();
        if (sent == size / kUploadChunkSize / 2 * kUploadChunkSize) {
            columns = 100;
            widthChanges.push_back(err.str().size());
        }
    }
    const std::string whole = err.str();
    const std::string before = whole.substr(0, widthChanges.at(0));
    progress.End();
    EXPECT_EQ(whole.find('\n'), std::string::npos);
    for (const auto& line : DrawnLines(before))
        EXPECT_LE(line.size(), 49u) << line;
    for (const auto& line : DrawnLines(whole.substr(widthChanges.at(0))))
        EXPECT_LE(line.size(), 99u) << line;
    const auto lines = DrawnLines(whole);
    ASSERT_FALSE(lines.empty());
    // 1024 bytes each 50 ms, the last chunk short: 200000 bytes in 9.8 s.
    EXPECT_NE(lines.back().find("200.0/200.0 kB  20.4 kB/s  0:00 left"), std::string::npos) << "\"" << lines.back() << "\"";
    EXPECT_NE(lines.back().find("left"), std::string::npos) << lines.back();
    EXPECT_EQ(err.str().substr(err.str().size() - 4), "\r\033[K");
}

TEST(TerminalProgressTest, QuietWithoutTerminal)
{
    std::ostringstream err;
    StepClock clock;
    TerminalProgress progress(err, false, clock);
    const CommandBatch batch = TwoRows();
    progress.BeginBatch(batch);
    progress.CommandStarting(1);
    progress.BeginUpload("main.py", 4000);
    progress.SetRange(10);
    progress.Step();
    progress.End();
    EXPECT_EQ(err.str(), "");
}

} // namespace
} // namespace tervane
