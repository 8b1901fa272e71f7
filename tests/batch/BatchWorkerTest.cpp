#include "BatchWorker.h"
#include "LineResponder.h"
#include "PtyPeer.h"
#include "SerialLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>


namespace tervane {
namespace {

// A row with the same time-out as the others and the given receive reserve.
USBCommand Row(const std::string& command, int reserve)
{
    return CommandRow(command, {}, 10000, reserve);
}

// A link open on a pseudo-terminal whose other end the test plays as the device.
class BatchWorkerOnPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        link.SetPortName(peer.Path());
        ASSERT_TRUE(link.OpenPort());
    }

    test::PtyPeer peer;
    FastClock clock {100};
    SerialLink link {clock};
};

TEST_F(BatchWorkerOnPort, ReserveGivesRoomForALargerAnswerToThatCommandOnly)
{
    // "AT+BIG" is answered with a body of 150000 bytes, every other line with OK.
    const std::string body(150000, 'b');
    test::LineResponder device(peer, [&body](const std::string& line) {
        return line == "AT+BIG" ? body + "\r\nOK\r\n" : std::string("\r\nOK\r\n");
    });

    CommandBatch batch;
    batch.AddTail(Row("AT+BIG\r\n", 60000));
    batch.AddTail(Row("AT+BIG\r\n", 0));
    batch.AddTail(Row("AT\r\n", 0));
    RunBatch(link, batch, nullptr);

    EXPECT_TRUE(batch.GetAt(0)->response == std::string(150000, 'b'));
    EXPECT_EQ(batch.GetAt(0)->failed, 0);
    // Cut at the base room, less the zero byte and the result code kept at its end; the
    // next command is not disturbed.
    EXPECT_TRUE(batch.GetAt(1)->response == std::string(kResponseBase - 1 - 6, 'b'));
    EXPECT_EQ(batch.GetAt(1)->failed, 0);
    EXPECT_EQ(batch.GetAt(2)->failed, 0);
    EXPECT_EQ(batch.GetAt(2)->response, "");
}

TEST_F(BatchWorkerOnPort, AnswerLongerThanItsRoomThatEndsInErrorFails)
{
    const std::string body(150000, 'b');
    test::LineResponder device(peer, [&body](const std::string& line) {
        return line == "AT+REFUSED" ? body + "\r\nERROR\r\n" : std::string("\r\nOK\r\n");
    });

    CommandBatch batch;
    batch.AddTail(Row("AT+REFUSED\r\n", 0));
    batch.AddTail(Row("AT+REFUSED\r\n", 60000));
    batch.AddTail(Row("AT\r\n", 0));
    RunBatch(link, batch, nullptr);

    EXPECT_EQ(batch.GetAt(0)->failed, 1);
    EXPECT_TRUE(batch.GetAt(0)->response == std::string(kResponseBase - 1 - 9, 'b'));
    EXPECT_EQ(batch.GetAt(1)->failed, 1);
    EXPECT_TRUE(batch.GetAt(1)->response == body);
    EXPECT_EQ(batch.GetAt(2)->failed, 0);
}

// Refresh with the device unplugged: the first row waits out the link's bound for the port
// to come back; the rows after it fail at once instead of each waiting as long again.
TEST(BatchWorker, RowsAfterTheLinkGaveUpFailAtOnce)
{
    test::PtyPeer peer;
    FastClock clock {1000};
    SerialLink link {clock};
    link.SetPortName(peer.Path());
    ASSERT_TRUE(link.OpenPort());
    peer.HangUp();

    CommandBatch batch;
    for (int i = 0; i < 11; ++i) {
        USBCommand row = Row("AT+CSQ\r\n", 0);
        row.response = "from an earlier run";
        batch.AddTail(row);
    }
    const uint32_t start = clock.TickCount();
    RunBatch(link, batch, nullptr);
    const uint32_t took = clock.TickCount() - start;

    EXPECT_GE(took, 60000u);
    EXPECT_LT(took, 2 * 60000u);
    for (int i = 0; i < batch.GetCount(); ++i) {
        EXPECT_EQ(batch.GetAt(i)->failed, 1) << "row " << i;
        if (i > 0) {
            EXPECT_EQ(batch.GetAt(i)->response, "") << "row " << i;
        }
    }

    // The next batch tries the device again.
    peer.Reopen();
    test::LineResponder device(peer, [](const std::string&) { return std::string("\r\nOK\r\n"); });
    CommandBatch again;
    again.AddTail(Row("AT\r\n", 0));
    RunBatch(link, again, nullptr);
    EXPECT_EQ(again.GetAt(0)->failed, 0);
    EXPECT_EQ(again.GetAt(0)->readEnd, ReadEnd::ResultCode);
}

TEST(BatchWorker, ProgressRangeCountsTimeOutsBeforeTheFirstEmptyCommand)
{
    CommandBatch batch;
    EXPECT_EQ(BatchProgressRange(batch), 0);
    for (int timeout : {100, 30000, 20000, 20000})
        batch.AddTail(USBCommand {"x", "", "", timeout, 0, 0});
    EXPECT_EQ(BatchProgressRange(batch), 701);
    batch.GetAt(2)->command.clear();
    EXPECT_EQ(BatchProgressRange(batch), 301);
}

TEST_F(BatchWorkerOnPort, InstallCommandAloneWaitsForTheReconnect)
{
    std::atomic<bool> back {false};
    std::thread device([&] {
        // Answer the upper-case form at once; let the real one see the restart.
        std::string got = peer.ReadUntil("AT&USBINTERFACE=110\r\n", 5000);
        peer.Write("\r\nOK\r\n");
        got = peer.ReadUntil("at&usbinterface=110\r\n", 5000);
        peer.Write("\r\nOK\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        peer.HangUp();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        peer.Reopen();
        back = true;
    });
    CommandBatch batch;
    USBCommand upper {"AT&USBINTERFACE=110\r\n", "", "", 300000, 0, 0};
    USBCommand install {"at&usbinterface=110\r\n", "", "", 300000, 0, 0};
    batch.AddTail(upper);
    batch.AddTail(install);
    const uint32_t start = clock.TickCount();
    RunBatch(link, batch, nullptr);
    // The upper-case one ended at its result code; the install went on past its OK until
    // the device was back, well before its time-out.
    EXPECT_TRUE(back);
    device.join();
    EXPECT_EQ(batch.GetAt(0)->failed, 0);
    EXPECT_LT(clock.TickCount() - start, 300000u);
    EXPECT_TRUE(link.IsOpen());
}

} // namespace
} // namespace tervane
