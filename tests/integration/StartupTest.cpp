#include "CTolbrinApp.h"
#include "CommandLine.h"
#include "FakeModemRegistry.h"
#include "MainPage.h"
#include "MessageBox.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "SimulatedQ7.h"
#include "TBPropertySheet.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

#include <memory>

using namespace tervane;

namespace {

const QString kRule = QString(79, u'*') + "\r\n";
const QString kDetectionText = QStringLiteral(
    "Unable to detect the Skellin Q7. Please verify that it is powered and connected to your computer with the "
    "supplied USB cable.");
const QString kCommunicationText = QStringLiteral(
    "Unable to communicate with the Skellin Q7. Please verify that it is powered and connected to your computer "
    "with the supplied USB cable.");

// A modem registry that counts how often detection looked.
class CountingRegistry : public FakeModemRegistry {
public:
    bool ForEachModem(const std::function<void(const ModemEntry&)>& visit) override
    {
        ++listings;
        return FakeModemRegistry::ForEachModem(visit);
    }
    int listings = 0;
};

// What the window looked like while it ran.
struct SheetSeen {
    bool ran = false;
    QStringList tabs;
    QString caption;
    QString status;
    QString activeCaption;
};

QString ReadLog()
{
    QFile file(QStringLiteral("command.log"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll());
}

// The banner as written at start-up: the title, the version and the ctime text.
const QRegularExpression kBanner(QRegularExpression::escape(kRule)
    + QStringLiteral("Tervane Q7 Dashboard Version 1\\.0\\.22\\.0 STARTED AT "
                     "(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                     "[ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\r\n")
    + QRegularExpression::escape(kRule));

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensTheWindowOnTheSimulatedDevice();
    void leavesOutTheRadioPage_data();
    void leavesOutTheRadioPage();
    void detectionRetryThenCancel();
    void detectionRetryFindsTheDevice();
    void silentDeviceOffersRetryAndCancel();
    void communicationRetryDoesNotDetectAgain();
    void commandLogSwitch_data();
    void commandLogSwitch();
    void logHoldsTheBannerAndTheExchanges();
    void logIsAppendedTo();
    void fixedPort();
    void commandLine_data();
    void commandLine();

private:
    // Starts the simulated device and registers its port as a modem.
    void StartDevice(const sim::DeviceConfig& config = {});
    // Runs the program; the window, when it opens, is looked at and closed.
    void Run(const QString& commandLine);
    // The simulated device's thread parses with libxml2: the application stops it at shutdown
    // before the library is cleaned up, as the dashboard does with its built-in device.
    void StopDeviceBeforeXmlCleanup();

    QString m_scratch;
    QString m_previousDir;
    std::unique_ptr<sim::SimulatedQ7> m_device;
    CountingRegistry m_registry;
    std::unique_ptr<CTolbrinApp> m_app;
    SheetSeen m_seen;
    std::function<void(TBPropertySheet&)> m_whileRunning;
};

void StartupTest::init()
{
    m_previousDir = QDir::currentPath();
    m_scratch = QString::fromStdString(test::MakeScratchDir("tervane-startup"));
    QVERIFY(QDir::setCurrent(m_scratch));
    m_registry = CountingRegistry();
    m_seen = SheetSeen();
    m_whileRunning = nullptr;
    MessageBox::setAnswerer([](const MessageBoxRequest&) { return QMessageBox::Cancel; });
    MessageBox::clearHistory();
}

void StartupTest::cleanup()
{
    MessageBox::setAnswerer({});
    m_app.reset();
    m_device.reset();
    QDir::setCurrent(m_previousDir);
    QDir(m_scratch).removeRecursively();
}

void StartupTest::StartDevice(const sim::DeviceConfig& config)
{
    m_device = std::make_unique<sim::SimulatedQ7>(config);
    QVERIFY(m_device->Start());
    m_registry.Add("WAVECOM", m_device->PortPath());
}

void StartupTest::StopDeviceBeforeXmlCleanup()
{
    m_app->SetBeforeXmlCleanup([this] {
        if (m_device)
            m_device->Stop();
    });
}

void StartupTest::Run(const QString& commandLine)
{
    m_app = std::make_unique<CTolbrinApp>(commandLine.toStdString());
    m_app->SetModemRegistry(&m_registry);
    StopDeviceBeforeXmlCleanup();
    m_app->SetPortChooser([](const std::vector<std::string>& ports) { return ports.front(); });
    m_app->SetSheetObserver([this](TBPropertySheet& sheet) {
        QTimer::singleShot(0, &sheet, [this, &sheet] {
            m_seen.ran = true;
            m_seen.caption = sheet.windowTitle();
            for (int i = 0; i < sheet.Tabs()->count(); ++i)
                m_seen.tabs << sheet.Tabs()->tabText(i);
            if (PropertyPage* page = sheet.GetActivePage())
                m_seen.activeCaption = page->Caption();
            if (auto* status = sheet.findChild<QLineEdit*>(QStringLiteral("status")))
                m_seen.status = status->text();
            if (m_whileRunning)
                m_whileRunning(sheet);
            sheet.reject();
        });
    });
    QCOMPARE(m_app->InitInstance(), false);
}

void StartupTest::opensTheWindowOnTheSimulatedDevice()
{
    StartDevice();
    m_whileRunning = [](TBPropertySheet& sheet) {
        const QString path = QStringLiteral(TERVANE_SCREENSHOT_DIR "/dashboard-device-information.png");
        QVERIFY(sheet.grab().save(path));
    };
    Run(QString());
    QVERIFY(m_seen.ran);
    QCOMPARE(m_app->LastEnding(), CTolbrinApp::Ending::SheetClosed);
    QCOMPARE(m_seen.caption, QStringLiteral("Tervane Q7 Dashboard"));
    QCOMPARE(m_seen.tabs, (QStringList{"Device Information", "Mobile", "Remote Management", "Ravlo", "Serial Port",
                              "Python", "Firmware Update", "Utilities"}));
    QCOMPARE(m_seen.activeCaption, QStringLiteral("Device Information"));
    QCOMPARE(m_seen.status, QStringLiteral("Connected (%1)").arg(QString::fromStdString(m_device->PortPath())));
    QVERIFY(MessageBox::history().isEmpty());
    // Shutdown freed the documents and left no log behind.
    QCOMPARE(m_app->Documents().SettingsDocument(), nullptr);
    QCOMPARE(m_app->Documents().StateDocument(), nullptr);
    QCOMPARE(m_app->Documents().RadioSettingsDocument(), nullptr);
    QVERIFY(!QFile::exists(QStringLiteral("command.log")));
}

void StartupTest::leavesOutTheRadioPage_data()
{
    QTest::addColumn<bool>("configured");
    QTest::addColumn<bool>("fault");
    QTest::addColumn<bool>("wrapped");
    QTest::newRow("radio not configured, the text alone") << false << false << false;
    QTest::newRow("radio not configured, inside a reply") << false << false << true;
    QTest::newRow("radio requests refused") << true << true << false;
}

void StartupTest::leavesOutTheRadioPage()
{
    QFETCH(bool, configured);
    QFETCH(bool, fault);
    QFETCH(bool, wrapped);
    sim::DeviceConfig config;
    config.radioConfigured = configured;
    config.wrapsNoRadioAnswer = wrapped;
    StartDevice(config);
    m_device->ChangeFaults([fault](sim::Faults& f) { f.noRadio = fault; });
    Run(QString());
    QVERIFY(m_seen.ran);
    QCOMPARE(m_seen.tabs, (QStringList{"Device Information", "Mobile", "Remote Management", "Serial Port", "Python",
                              "Firmware Update", "Utilities"}));
}

void StartupTest::detectionRetryThenCancel()
{
    // Real boxes, answered by pressing their buttons.
    MessageBox::setAnswerer({});
    QList<QMessageBox::StandardButton> answers{QMessageBox::Retry, QMessageBox::Cancel};
    struct BoxSeen {
        QString text, caption;
        QMessageBox::Icon icon;
        bool owned;
        QMessageBox::StandardButtons buttons;
    };
    QList<BoxSeen> boxes;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || answers.isEmpty())
            return;
        boxes.append({box->text(), box->windowTitle(), box->icon(), box->parentWidget() != nullptr,
            box->standardButtons()});
        box->button(answers.takeFirst())->click();
    });
    answerer.start(10);

    Run(QStringLiteral("/debug"));

    QCOMPARE(m_app->LastEnding(), CTolbrinApp::Ending::DetectionCancelled);
    QVERIFY(!m_seen.ran);
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(m_registry.listings, 2);
    for (const BoxSeen& box : boxes) {
        QCOMPARE(box.text, kDetectionText);
        QCOMPARE(box.caption, QStringLiteral("Device detection error"));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QVERIFY(!box.owned);
        QCOMPARE(box.buttons, QMessageBox::Retry | QMessageBox::Cancel);
    }
    // Only the banner: nothing reached a device.
    const QString log = ReadLog();
    QVERIFY2(kBanner.match(log).hasMatch(), qPrintable(log));
    QCOMPARE(kBanner.match(log).capturedLength(), log.size());
    QVERIFY(!m_app->Log().IsOpen());
    QCOMPARE(m_app->Documents().SettingsDocument(), nullptr);
}

void StartupTest::detectionRetryFindsTheDevice()
{
    m_device = std::make_unique<sim::SimulatedQ7>();
    QVERIFY(m_device->Start());
    MessageBox::setAnswerer([this](const MessageBoxRequest&) {
        // The user plugs the device in, then presses Retry.
        m_registry.Add("WAVECOM", m_device->PortPath());
        return QMessageBox::Retry;
    });
    Run(QString());
    QCOMPARE(MessageBox::history().size(), 1);
    QCOMPARE(MessageBox::history().first().caption, QStringLiteral("Device detection error"));
    QVERIFY(m_seen.ran);
    QCOMPARE(m_seen.tabs.size(), 8);
}

void StartupTest::silentDeviceOffersRetryAndCancel()
{
    StartDevice();
    m_device->ChangeFaults([](sim::Faults& f) { f.silent = true; });
    Run(QString());
    QCOMPARE(m_app->LastEnding(), CTolbrinApp::Ending::CommunicationCancelled);
    QVERIFY(!m_seen.ran);
    QCOMPARE(MessageBox::history().size(), 1);
    const MessageBoxRequest& box = MessageBox::history().first();
    QCOMPARE(box.text, kCommunicationText);
    QCOMPARE(box.caption, QStringLiteral("Device communication error"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::Retry | QMessageBox::Cancel);
    QCOMPARE(box.owner, nullptr);
    QCOMPARE(m_app->Documents().StateDocument(), nullptr);
}

void StartupTest::communicationRetryDoesNotDetectAgain()
{
    StartDevice();
    m_device->ChangeFaults([](sim::Faults& f) { f.errorFor = {"<query_setting></query_setting>"}; });
    MessageBox::setAnswerer([this](const MessageBoxRequest&) {
        m_device->ChangeFaults([](sim::Faults& f) { f.errorFor.clear(); });
        return QMessageBox::Retry;
    });
    Run(QString());
    QCOMPARE(MessageBox::history().size(), 1);
    QCOMPARE(MessageBox::history().first().caption, QStringLiteral("Device communication error"));
    QCOMPARE(m_registry.listings, 1);
    QVERIFY(m_seen.ran);
    QCOMPARE(m_seen.tabs.size(), 8);
}

void StartupTest::commandLogSwitch_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("logged");
    QTest::newRow("/debug") << "/debug" << true;
    QTest::newRow("inside a longer word") << "x/debugging" << true;
    QTest::newRow("capitals") << "/DEBUG" << false;
    QTest::newRow("nothing") << "" << false;
}

void StartupTest::commandLogSwitch()
{
    QFETCH(QString, commandLine);
    QFETCH(bool, logged);
    StartDevice();
    Run(commandLine);
    QVERIFY(m_seen.ran);
    QCOMPARE(QFile::exists(QStringLiteral("command.log")), logged);
    if (logged) {
        struct stat info {};
        QCOMPARE(::stat("command.log", &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
        QVERIFY(kBanner.match(ReadLog()).hasMatch());
        QCOMPARE(kBanner.match(ReadLog()).capturedStart(), 0);
    }
}

void StartupTest::logHoldsTheBannerAndTheExchanges()
{
    StartDevice();
    Run(QStringLiteral("/debug"));
    const QString log = ReadLog();
    const QRegularExpressionMatch banner = kBanner.match(log);
    QVERIFY(banner.hasMatch());
    QCOMPARE(banner.capturedStart(), 0);
    // The first exchange follows at once: the banner's closing rule also opens it.
    const QString firstEntry = QStringLiteral("COMMAND:\r\n") + kRule + "AT\r\n\r\n\r\n" + kRule + "RAW RESPONSE:\r\n" + kRule;
    QCOMPARE(log.mid(banner.capturedLength(), firstEntry.size()), firstEntry);
    const QString modemType = kRule + "PARSED RESPONSE:\r\n" + kRule + "WAVECOM MODEM\r\n" + kRule;
    QVERIFY(log.contains(modemType));
    QVERIFY(log.contains(QString::fromLatin1(kQueryStateRequest.data(), int(kQueryStateRequest.size()))));
}

void StartupTest::logIsAppendedTo()
{
    const QByteArray earlier = "an earlier run's log\r\n";
    {
        QFile file(QStringLiteral("command.log"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(earlier);
    }
    m_registry = CountingRegistry();
    Run(QStringLiteral("/debug"));
    const QString log = ReadLog();
    QVERIFY(log.startsWith(QString::fromLatin1(earlier)));
    QCOMPARE(kBanner.match(log).capturedStart(), earlier.size());
}

void StartupTest::fixedPort()
{
    m_device = std::make_unique<sim::SimulatedQ7>();
    QVERIFY(m_device->Start());
    // A port that is not there: the detection box, and the registrations are never read.
    m_app = std::make_unique<CTolbrinApp>(std::string());
    m_app->SetModemRegistry(&m_registry);
    m_app->SetFixedPort(m_scratch.toStdString() + "/no-such-port");
    QCOMPARE(m_app->InitInstance(), false);
    QCOMPARE(m_app->LastEnding(), CTolbrinApp::Ending::DetectionCancelled);
    QCOMPARE(m_registry.listings, 0);

    m_app = std::make_unique<CTolbrinApp>(std::string());
    m_app->SetModemRegistry(&m_registry);
    m_app->SetFixedPort(m_device->PortPath());
    StopDeviceBeforeXmlCleanup();
    bool ran = false;
    m_app->SetSheetObserver([&ran](TBPropertySheet& sheet) {
        QTimer::singleShot(0, &sheet, [&ran, &sheet] {
            ran = true;
            sheet.reject();
        });
    });
    m_app->InitInstance();
    QVERIFY(ran);
    QCOMPARE(m_app->LastEnding(), CTolbrinApp::Ending::SheetClosed);
    QCOMPARE(m_registry.listings, 0);
}

void StartupTest::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("version");
    QTest::addColumn<bool>("wrong");
    QTest::newRow("none") << QStringList{} << "" << false << "" << false << false << false;
    QTest::newRow("debug and simulate") << QStringList{"/debug", "--simulate"} << "/debug --simulate" << true << ""
                                        << false << false << false;
    QTest::newRow("port") << QStringList{"--port", "/dev/ttyACM0"} << "--port /dev/ttyACM0" << false
                          << "/dev/ttyACM0" << false << false << false;
    QTest::newRow("port without path") << QStringList{"--port"} << "--port" << false << "" << false << false << true;
    QTest::newRow("simulate and port") << QStringList{"--simulate", "--port", "/dev/x"} << "--simulate --port /dev/x"
                                       << true << "/dev/x" << false << false << true;
    QTest::newRow("help") << QStringList{"--help"} << "--help" << false << "" << true << false << false;
    QTest::newRow("version") << QStringList{"--version"} << "--version" << false << "" << false << true << false;
    QTest::newRow("unknown option") << QStringList{"--colour"} << "--colour" << false << "" << false << false << true;
    QTest::newRow("other words are left alone")
        << QStringList{"-platform", "offscreen", "/DEBUG"} << "-platform offscreen /DEBUG" << false << "" << false
        << false << false;
}

void StartupTest::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, text);
    QFETCH(bool, simulate);
    QFETCH(QString, port);
    QFETCH(bool, help);
    QFETCH(bool, version);
    QFETCH(bool, wrong);
    std::vector<std::string> words;
    for (const QString& arg : args)
        words.push_back(arg.toStdString());
    const CommandLine line = ParseCommandLine(words);
    QCOMPARE(!line.error.empty(), wrong);
    if (wrong)
        return;
    QCOMPARE(QString::fromStdString(line.text), text);
    QCOMPARE(line.simulate, simulate);
    QCOMPARE(QString::fromStdString(line.port), port);
    QCOMPARE(line.help, help);
    QCOMPARE(line.version, version);
}

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
