#include "TerminalProgress.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tervane {
namespace {

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

TEST(TerminalProgressTest, LineFitsItsWidth)
{
    EXPECT_EQ(TerminalProgress::Line("Uploading", 5, 10, 50),
        "Uploading          [############            ]  50%");
    EXPECT_EQ(TerminalProgress::Line("x", 30, 10, 40).substr(9), "[########################] 100%");
    const std::string cut = TerminalProgress::Line(std::string(100, 'a') + "\n", 0, 0, 79);
    EXPECT_EQ(cut.size(), 79u);
    EXPECT_NE(cut.find("... ["), std::string::npos);
    // A label is never split inside a UTF-8 character.
    const std::string utf8 = TerminalProgress::Line(std::string(44, 'a') + "\xc3\xa9\xc3\xa9\xc3\xa9", 0, 0, 79);
    EXPECT_NE(utf8.find("a..."), std::string::npos) << utf8;
}

TEST(TerminalProgressTest, DrawsOnATerminalAndClearsAtTheEnd)
{
    std::ostringstream err;
    TerminalProgress progress(err, true);
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
    EXPECT_EQ(drawn.back(), '\r');
    EXPECT_EQ(drawn.find('\n'), std::string::npos);
}

TEST(TerminalProgressTest, QuietWithoutTerminal)
{
    std::ostringstream err;
    TerminalProgress progress(err, false);
    const CommandBatch batch = TwoRows();
    progress.BeginBatch(batch);
    progress.CommandStarting(1);
    progress.BeginUpload("main.py");
    progress.SetRange(10);
    progress.Step();
    progress.End();
    EXPECT_EQ(err.str(), "");
}

} // namespace
} // namespace tervane
