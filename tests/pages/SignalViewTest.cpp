// "Watch signal" on the Device Information page: the live view polling the simulated device
// while the window goes on working, driven as a person would.
#include "SignalView.h"
#include "CellPage.h"
#include "DialogRunner.h"
#include "PageSimFixture.h"
#include "SignalStrip.h"

#include <QFile>
#include <QLabel>

using namespace tervane;
using namespace tervane::test;

namespace {

constexpr auto kFast = std::chrono::milliseconds(5);
// Upper bounds for what a few polls do; never a margin the tests rely on.
constexpr int kPatienceMs = 30000;

sim::DeviceConfig WithPattern(sim::SignalPattern pattern)
{
    sim::DeviceConfig config = FastRestarts();
    config.signalPattern = pattern;
    return config;
}

} // namespace

class SignalViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitXmlLibrary(); }
    void init() { m_f = std::make_unique<PageSimFixture<CellPage>>(kRestartClock); }
    void cleanup() { m_f.reset(); }

    void followsTheSignalOnTheViewAndThePage();
    void unknownReadingsAreGaps();
    void applyPausesThePolling();
    void procedureHoldsPollsUntilTheWindowIsIdle();
    void deviceRestartShowsWaiting();
    void saveWritesTheSessionAsCsv();
    void keyboardReachesEveryButton();

private:
    // Opens the window on the device, shows the Device Information page and clicks "Watch signal".
    SignalView* OpenView(const sim::DeviceConfig& config)
    {
        if (!m_f->Open(config))
            return nullptr;
        m_f->ClickTab(m_f->kMainTab);
        auto* button = m_f->main->findChild<QPushButton*>(QStringLiteral("watchSignal"));
        if (button == nullptr || QString(button->text()).remove(QLatin1Char('&')) != QStringLiteral("Watch signal"))
            return nullptr;
        // The view takes its interval before the first click; later clicks only raise it.
        m_f->main->OnWatchSignal();
        SignalView* view = m_f->main->SignalWatch();
        view->SetInterval(kFast);
        QTest::mouseClick(button, Qt::LeftButton);
        return view;
    }

    static std::size_t Readings(const SignalView* view) { return view->Session().Entries().size(); }

    std::unique_ptr<PageSimFixture<CellPage>> m_f;
};

void SignalViewTest::followsTheSignalOnTheViewAndThePage()
{
    SignalView* view = OpenView(WithPattern(sim::SignalPattern::Sweep));
    QVERIFY(view != nullptr);
    QVERIFY(view->isVisible());
    QVERIFY(!view->isModal());
    QTRY_VERIFY_WITH_TIMEOUT(Readings(view) >= 6, kPatienceMs);
    // Escape closes the view and ends the polling; what it shows then is the last reading.
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(!view->isVisible());
    QVERIFY(!view->Polling());
    QApplication::processEvents();

    const SignalReading last = view->Session().Entries().back().reading;
    QVERIFY(last.known);
    QCOMPARE(view->LevelText(), QStringLiteral("%1 dBm").arg(last.levelDbm));
    QCOMPARE(view->BarsShown(), 5);
    QCOMPARE(view->BarsLit(), last.lampsLit);
    QCOMPARE(view->RegistrationLabelText(), QStringLiteral("home"));
    int best = 0;
    for (const auto& entry : view->Session().Entries())
        best = std::max(best, entry.reading.quality);
    QCOMPARE(view->PeakText(), QStringLiteral("%1 dBm (CSQ %2)").arg(2 * best - 113).arg(best));

    // The page's lamps and their words follow the live value.
    int lit = 0;
    for (int k = 1; k <= MainPage::kSignalLampCount; ++k)
        lit += m_f->main->IsSignalLampLit(k) ? 1 : 0;
    QCOMPARE(lit, last.lampsLit);
    QCOMPARE(m_f->main->SignalQuality(), last.quality);
    const QString words =
        QStringLiteral("Signal %1 (%2 dBm): %3 of 5 bars").arg(last.quality).arg(last.levelDbm).arg(lit);
    QCOMPARE(m_f->main->GetDlgItem(MainPage::IDC_SIGNAL_LAMP1)->accessibleDescription(), words);
    QCOMPARE(view->findChild<QLabel*>(QStringLiteral("bar1"))->accessibleDescription(), words);
}

void SignalViewTest::unknownReadingsAreGaps()
{
    SignalView* view = OpenView(WithPattern(sim::SignalPattern::Dropouts));
    QVERIFY(view != nullptr);
    // Dropouts: two unknown readings in every ten.
    QTRY_VERIFY_WITH_TIMEOUT(Readings(view) >= 12, kPatienceMs);
    view->close();
    QApplication::processEvents();
    const auto& entries = view->Session().Entries();
    const long unknown = std::count_if(entries.begin(), entries.end(), [](const auto& e) { return !e.reading.known; });
    QVERIFY(unknown >= 2);
    // The strip breaks its line at each run of unknown readings instead of drawing a level.
    const std::vector<int> runs = view->Strip()->Runs();
    QVERIFY2(runs.size() >= 2, qPrintable(QString::number(runs.size())));
    int drawn = 0;
    for (int run : runs)
        drawn += run;
    QCOMPARE(drawn, static_cast<int>(entries.size() - unknown));
    if (!entries.back().reading.known) {
        QCOMPARE(view->LevelText(), QStringLiteral("unknown"));
        QCOMPARE(view->BarsLit(), 0);
    }
}

void SignalViewTest::applyPausesThePolling()
{
    SignalView* view = OpenView(FastRestarts());
    QVERIFY(view != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(Readings(view) >= 2, kPatienceMs);
    m_f->ClickTab(m_f->kPageTab);
    Retype(m_f->Find<QLineEdit>("apn"), QStringLiteral("watch.apn"));
    m_f->ClickApply();
    QCOMPARE(m_f->DeviceSetting("mobile_simple/apn"), std::string("watch.apn"));
    // Polling carries on after the apply.
    const std::size_t after = Readings(view);
    QTRY_VERIFY_WITH_TIMEOUT(Readings(view) >= after + 2, kPatienceMs);
    view->close();

    // In the device's transcript the apply's commands follow one another without a poll.
    const auto received = m_f->device->ReceivedCommands();
    const long first = FindReceived(*m_f->device, "at&usbinterface=22");
    QVERIFY(first >= 0);
    const long readBack = FindReceived(*m_f->device, "<query_setting>", first);
    QVERIFY(readBack > first);
    for (long i = first; i <= readBack; ++i) {
        const std::string& command = received[static_cast<std::size_t>(i)];
        QVERIFY2(command.find("AT+CSQ") == std::string::npos && command.find("AT+CREG") == std::string::npos,
            command.c_str());
    }
    QVERIFY(FindReceived(*m_f->device, "AT+CSQ", readBack) > readBack);
}

void SignalViewTest::procedureHoldsPollsUntilTheWindowIsIdle()
{
    QVERIFY(m_f->StartDevice());
    LinkTurns& turns = m_f->link->Turns();
    DialogRunner runner(*m_f->link);
    CommandBatch batch;
    batch.AddTail(CommandRow("AT+CGMI\r\n", "Identifying modem...", 1000));
    runner.RunBatch(batch);
    QCOMPARE(batch.GetAt(0)->failed, 0);
    // The next step of a procedure follows at once: polls stay off until the window is idle.
    QVERIFY(turns.PollsHeld());
    runner.RunBatch(batch);
    QVERIFY(turns.PollsHeld());
    QTRY_VERIFY(!turns.PollsHeld());
    QVERIFY(turns.TryBeginPoll());
    turns.EndPoll();
}

void SignalViewTest::deviceRestartShowsWaiting()
{
    SignalView* view = OpenView(FastRestarts());
    QVERIFY(view != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(Readings(view) >= 2, kPatienceMs);
    // The device goes away between two polls, for longer than an answer's time-out.
    m_f->link->Turns().BeginWork();
    m_f->device->Restart(3000);
    m_f->link->Turns().EndWork();
    QTRY_COMPARE_WITH_TIMEOUT(view->LevelText(), QStringLiteral("waiting for the device"), kPatienceMs);
    QCOMPARE(view->StatusText(), QStringLiteral("waiting for the device"));
    QTRY_VERIFY_WITH_TIMEOUT(view->LevelText().endsWith(QStringLiteral(" dBm")), kPatienceMs);
    QVERIFY(view->Session().Entries().back().reading.known);
    QCOMPARE(m_f->device->RestartCount(), 1);
    view->close();
}

void SignalViewTest::saveWritesTheSessionAsCsv()
{
    SignalView* view = OpenView(WithPattern(sim::SignalPattern::Dropouts));
    QVERIFY(view != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(Readings(view) >= 10, kPatienceMs);
    view->close();
    QApplication::processEvents();

    const QString path = QString::fromStdString(m_f->dir + "/signal.csv");
    FileDialog::setAnswerer([path](const FileDialogRequest& request) {
        return request.mode == FileDialogRequest::Mode::Save ? std::optional<QString>(path) : std::nullopt;
    });
    QTest::mouseClick(view->findChild<QPushButton*>(QStringLiteral("saveCsv")), Qt::LeftButton);
    QCOMPARE(FileDialog::history().size(), 1);
    QCOMPARE(FileDialog::history().front().defaultSuffix, QStringLiteral("csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.front(), QStringLiteral("time,csq,dbm,bars,registration"));
    QCOMPARE(lines.size() - 1, static_cast<qsizetype>(view->Session().Entries().size()));
    int gaps = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(u',');
        QCOMPARE(fields.size(), 5);
        QVERIFY(fields[0].endsWith(u'Z'));
        QCOMPARE(fields[4], QStringLiteral("home"));
        if (fields[1].isEmpty()) {
            ++gaps;
            QVERIFY(fields[2].isEmpty() && fields[3].isEmpty());
        } else {
            QCOMPARE(fields[2].toInt(), 2 * fields[1].toInt() - 113);
        }
    }
    QVERIFY(gaps >= 1);

    // A file that cannot be written is said so, with its name.
    MessageBox::clearHistory();
    const QString folder = QString::fromStdString(m_f->dir);
    FileDialog::setAnswerer([folder](const FileDialogRequest&) { return std::optional<QString>(folder); });
    QTest::mouseClick(view->findChild<QPushButton*>(QStringLiteral("saveCsv")), Qt::LeftButton);
    QCOMPARE(MessageBox::history().size(), 1);
    QCOMPARE(MessageBox::history().front().text, QStringLiteral("Unable to write %1.").arg(folder));
}

void SignalViewTest::keyboardReachesEveryButton()
{
    SignalView* view = OpenView(FastRestarts());
    QVERIFY(view != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(Readings(view) >= 2, kPatienceMs);
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
    auto* reset = view->findChild<QPushButton*>(QStringLiteral("resetPeak"));
    QStringList reached;
    for (int i = 0; i < 6 && QApplication::focusWidget() != reset; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view, Qt::Key_Tab);
        if (QApplication::focusWidget())
            reached << QApplication::focusWidget()->objectName();
    }
    QVERIFY2(QApplication::focusWidget() == reset, qPrintable(reached.join(u' ')));
    view->close();
    QApplication::processEvents();
    QVERIFY(view->PeakText() != QStringLiteral("none yet"));
    QTest::keyClick(reset, Qt::Key_Space);
    QCOMPARE(view->PeakText(), QStringLiteral("none yet"));
    QCOMPARE(view->Session().Peak(), std::nullopt);
}

QTEST_MAIN(SignalViewTest)
#include "SignalViewTest.moc"
