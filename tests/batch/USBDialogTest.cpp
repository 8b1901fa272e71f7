#include "USBDialog.h"
#include "CommandBatch.h"
#include "LineResponder.h"
#include "LinkStatus.h"
#include "PtyPeer.h"
#include "SerialLink.h"

#include <QApplication>

#include <QKeyEvent>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

using tervane::CommandBatch;
using tervane::CommandRow;
using tervane::USBCommand;
using tervane::USBDialog;

namespace {

// Ticks only when paused; every pause waits until the test opens the gate.
class GateClock : public tervane::Clock {
public:
    uint32_t TickCount() override { return m_ticks.load(); }
    void Sleep(uint32_t ms) override
    {
        std::unique_lock lock(m_mutex);
        m_opened.wait(lock, [this] { return m_open; });
        m_ticks += ms;
    }
    void Open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }

private:
    std::atomic<uint32_t> m_ticks {0};
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
};

// Answers every command line with its echo and OK, or ERROR for lines holding "BAD".
std::string EchoAndResult(const std::string& line)
{
    const bool bad = line.find("BAD") != std::string::npos;
    return line + "\r\n\r\nvalue of " + line + (bad ? "\r\nERROR\r\n" : "\r\nOK\r\n");
}

} // namespace

class USBDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        peer = std::make_unique<tervane::test::PtyPeer>();
        link = std::make_unique<tervane::SerialLink>(clock);
        link->SetPortName(peer->Path());
        QVERIFY(link->OpenPort());
    }

    void cleanup()
    {
        link.reset();
        peer.reset();
    }

    void runsEveryRowAndKeepsAnswers()
    {
        tervane::test::LineResponder device(*peer, EchoAndResult);
        USBDialog dialog(*link);
        CommandBatch batch;
        batch.AddTail(CommandRow("AT+ONE\r\n", "first", 100));
        batch.AddTail(CommandRow("SLEEP", "settle", 30000));
        batch.AddTail(CommandRow("AT+BAD\r\n", "refused", 20000));
        batch.AddTail(CommandRow("AT+TWO\r\n", "last", 20000));
        dialog.DoModal(batch);

        QVERIFY(dialog.IsFinished());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Communicating with device..."));
        QCOMPARE(dialog.StatusText(),
            QStringLiteral("Communicating with the device on %1. Please wait...").arg(QString::fromStdString(peer->Path())));
        QCOMPARE(dialog.findChild<QProgressBar*>("progress")->maximum(), 701);
        QCOMPARE(batch.GetAt(0)->response, std::string("value of AT+ONE"));
        QCOMPARE(batch.GetAt(0)->failed, 0);
        QCOMPARE(batch.GetAt(1)->response, std::string());
        QCOMPARE(batch.GetAt(1)->failed, 0);
        QCOMPARE(batch.GetAt(2)->response, std::string("value of AT+BAD"));
        QCOMPARE(batch.GetAt(2)->failed, 1);
        QCOMPARE(batch.GetAt(3)->response, std::string("value of AT+TWO"));
        QCOMPARE(batch.GetAt(3)->failed, 0);
        QTRY_COMPARE(dialog.PromptText(), QStringLiteral("last"));
    }

    void showsTheWaitForAVanishedDevice()
    {
        // The device is gone before the batch starts: the link re-opens its port until its
        // bound has passed, and the dialog says so meanwhile, with the time left. The link's
        // first pause waits until the dialog has shown the wait, so nothing hangs on timing.
        GateClock gate;
        link->ClosePort();
        tervane::SerialLink gone(gate);
        gone.SetPortName(peer->Path());
        QVERIFY(gone.OpenPort());
        tervane::LinkStatus status(gone);
        USBDialog dialog(gone, &status);
        QStringList shown;
        connect(&status, &tervane::LinkStatus::Changed, &dialog, [&] {
            shown << dialog.StatusText();
            if (status.CurrentState() == tervane::LinkStatus::State::Waiting)
                gate.Open();
        });
        peer->HangUp();
        CommandBatch batch;
        batch.AddTail(CommandRow("AT+ONE\r\n", "first", 1000));
        batch.AddTail(CommandRow("AT+TWO\r\n", "second", 1000));
        dialog.DoModal(batch);

        QVERIFY2(!shown.isEmpty(), "the wait was shown");
        QCOMPARE(shown.front(), QStringLiteral("Waiting for the device to come back… (60 s left)"));
        // Given up: not connected, and the box went back to its own words.
        QTRY_COMPARE(status.CurrentState(), tervane::LinkStatus::State::NotConnected);
        QCOMPARE(dialog.StatusText(),
            QStringLiteral("Communicating with the device on %1. Please wait...")
                .arg(QString::fromStdString(peer->Path())));
        QCOMPARE(batch.GetAt(0)->failed, 1);
        QCOMPARE(batch.GetAt(1)->failed, 1);
        QVERIFY(!status.LastAnswer().isValid());
    }

    void linkStatusFollowsTheDevice()
    {
        tervane::test::LineResponder device(*peer, EchoAndResult);
        tervane::LinkStatus status(*link);
        status.SetConnected(true);
        USBDialog dialog(*link, &status);
        CommandBatch batch;
        batch.AddTail(CommandRow("AT+ONE\r\n", "first", 1000));
        dialog.DoModal(batch);
        QTRY_VERIFY(status.LastAnswer().isValid());
        QCOMPARE(status.CurrentState(), tervane::LinkStatus::State::Connected);
        QCOMPARE(status.PortName(), QString::fromStdString(peer->Path()));
        status.SetConnected(false);
        QCOMPARE(status.CurrentState(), tervane::LinkStatus::State::NotConnected);
    }

    void emptyCommandEndsTheBatch()
    {
        tervane::test::LineResponder device(*peer, EchoAndResult);
        USBDialog dialog(*link);
        CommandBatch batch;
        USBCommand untouched = CommandRow("", "never", 5000);
        untouched.response = "kept";
        untouched.failed = 7;
        batch.AddTail(CommandRow("AT+ONE\r\n", "one", 1000));
        batch.AddTail(CommandRow("AT+TWO\r\n", "two", 1000));
        batch.AddTail(untouched);
        batch.AddTail(CommandRow("AT+THREE\r\n", "three", 90000));
        dialog.DoModal(batch);
        QCOMPARE(dialog.findChild<QProgressBar*>("progress")->maximum(), 20);
        QCOMPARE(batch.GetAt(1)->response, std::string("value of AT+TWO"));
        QCOMPARE(batch.GetAt(2)->response, std::string("kept"));
        QCOMPARE(batch.GetAt(2)->failed, 7);
        QCOMPARE(batch.GetAt(3)->response, std::string());
    }

    void emptyBatchClosesAtOnce()
    {
        USBDialog dialog(*link);
        CommandBatch batch;
        dialog.DoModal(batch);
        QVERIFY(dialog.IsFinished());
        QCOMPARE(dialog.findChild<QProgressBar*>("progress")->maximum(), 0);
    }

    void escapeAndCloseDoNothingWhileItRuns()
    {
        tervane::FastClock slow {10};
        tervane::SerialLink slowLink {slow};
        link.reset();
        slowLink.SetPortName(peer->Path());
        QVERIFY(slowLink.OpenPort());
        USBDialog dialog(slowLink);
        CommandBatch batch;
        batch.AddTail(CommandRow("SLEEP", "waiting", 3000));
        bool stillOpen = false;
        QTimer::singleShot(100, &dialog, [&] {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&dialog, &escape);
            dialog.close();
            dialog.reject();
            stillOpen = dialog.isVisible() && !dialog.IsFinished();
        });
        dialog.DoModal(batch);
        QVERIFY(stillOpen);
        QVERIFY(dialog.IsFinished());
        QCOMPARE(batch.GetAt(0)->failed, 0);
    }

    void showsWhatTheWorkerReportsWithoutAJob()
    {
        USBDialog dialog(*link);
        dialog.ShowCommand("Reading device status...");
        QCOMPARE(dialog.PromptText(), QStringLiteral("Reading device status..."));
        QCOMPARE(dialog.ProgressValue(), 10); // each command that starts moves the bar by ten
        dialog.ShowPosition(dialog.ProgressMaximum() + 50);
        QCOMPARE(dialog.ProgressValue(), dialog.ProgressMaximum());
    }

    void reusedDialogRunsTheNewBatch()
    {
        tervane::test::LineResponder device(*peer, EchoAndResult);
        USBDialog dialog(*link);
        CommandBatch batch;
        batch.AddTail(CommandRow("AT+ONE\r\n", "one", 1000));
        dialog.DoModal(batch);
        batch.RemoveAll();
        batch.AddTail(CommandRow("AT+TWO\r\n", "two", 1000));
        dialog.DoModal(batch);
        QCOMPARE(batch.GetCount(), 1);
        QCOMPARE(batch.GetAt(0)->response, std::string("value of AT+TWO"));
    }

private:
    tervane::FastClock clock {100};
    std::unique_ptr<tervane::test::PtyPeer> peer;
    std::unique_ptr<tervane::SerialLink> link;
};

QTEST_MAIN(USBDialogTest)
#include "USBDialogTest.moc"
