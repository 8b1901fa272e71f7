#include "CTolbrinApp.h"
#include "CommandLine.h"
#include "SimulatedModemRegistry.h"
#include "MainPage.h"
#include "MessageBox.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "SerialLink.h"
#include "SimulatedGateways.h"
#include "SimulatedQ7.h"
#include "StartupLog.h"
#include "StartupQuery.h"
#include "TBPropertySheet.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

#include <memory>
#include <optional>

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
class CountingRegistry : public SimulatedModemRegistry {
public:
    bool ForEachModem(const std::function<void(const ModemEntry&)>& visit) override
    {
        ++listings;
        return SimulatedModemRegistry::ForEachModem(visit);
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
    QString imei;
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
    void remembersTheWindowBetweenRuns();
    void statusAfterTheDeviceWentAway();
    void simulatedGatewaysAsTheCommandLineAsks();
    void queryBegunBeforeTheWindow_data();
    void queryBegunBeforeTheWindow();

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
    // The window's remembered state, in the scratch folder: never the user's own.
    std::unique_ptr<QSettings> m_windowSettings;
    std::optional<LinkLimits> m_limits;
    // Run begins detection and the device query before the application, as the program does.
    bool m_beginEarly = false;
    std::unique_ptr<StartupQuery> m_started;
    std::string m_fixedPort;
    // The candidates each port choice offered.
    std::vector<std::vector<std::string>> m_choices;
};

void StartupTest::init()
{
    m_previousDir = QDir::currentPath();
    m_scratch = QString::fromStdString(test::MakeScratchDir("tervane-startup"));
    QVERIFY(QDir::setCurrent(m_scratch));
    m_registry = CountingRegistry();
    m_seen = SheetSeen();
    m_whileRunning = nullptr;
    m_limits.reset();
    m_beginEarly = false;
    m_fixedPort.clear();
    m_choices.clear();
    QStandardPaths::setTestModeEnabled(true);
    m_windowSettings = std::make_unique<QSettings>(m_scratch + QStringLiteral("/window.ini"), QSettings::IniFormat);
    MessageBox::setAnswerer([](const MessageBoxRequest&) { return QMessageBox::Cancel; });
    MessageBox::clearHistory();
}

void StartupTest::cleanup()
{
    MessageBox::setAnswerer({});
    m_app.reset();
    m_started.reset();
    m_device.reset();
    m_windowSettings.reset();
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
    m_app.reset();
    if (m_beginEarly) {
        m_started = std::make_unique<StartupQuery>();
        if (m_limits)
            m_started->Link().SetLimits(*m_limits);
        OpenCommandLog(commandLine.toStdString(), m_started->Log(), m_started->Link());
        m_started->Start(m_registry, m_fixedPort);
        m_app = std::make_unique<CTolbrinApp>(commandLine.toStdString(), *m_started);
    } else {
        m_app = std::make_unique<CTolbrinApp>(commandLine.toStdString());
        if (m_limits)
            m_app->Link().SetLimits(*m_limits);
    }
    m_app->SetModemRegistry(&m_registry);
    m_app->SetFixedPort(m_fixedPort);
    m_app->SetWindowSettings(m_windowSettings.get());
    StopDeviceBeforeXmlCleanup();
    m_app->SetPortChooser([this](const std::vector<std::string>& ports) {
        m_choices.push_back(ports);
        return ports.front();
    });
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
            if (auto* imei = sheet.findChild<QLineEdit*>(QStringLiteral("imei")))
                m_seen.imei = imei->text();
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

void StartupTest::remembersTheWindowBetweenRuns()
{
    // The last run closed on the Python page; this one opens there, and keeps where it closes.
    // (One run a process: shutdown cleans the XML library up. The geometry's round trip is
    // the frame's test.)
    m_windowSettings->setValue(QStringLiteral("window/page"), QStringLiteral("PythonPage"));
    StartDevice();
    QSize size;
    m_whileRunning = [&size](TBPropertySheet& sheet) {
        QVERIFY(sheet.SetActivePage(1));
        sheet.resize(sheet.size() - QSize(20, 10));
        size = sheet.size();
    };
    Run(QString());
    QCOMPARE(m_seen.activeCaption, QStringLiteral("Python"));
    QCOMPARE(m_windowSettings->value(QStringLiteral("window/page")).toString(), QStringLiteral("CellPage"));
    QWidget probe;
    QVERIFY(probe.restoreGeometry(m_windowSettings->value(QStringLiteral("window/geometry")).toByteArray()));
    QCOMPARE(probe.size(), size);
}

void StartupTest::statusAfterTheDeviceWentAway()
{
    // The link gives up on a vanished device sooner here; it waits in real time.
    m_limits = LinkLimits {2000, 5000};
    // The port in the scratch folder, where the device publishes it again after its stop.
    const QString port = m_scratch + QStringLiteral("/ttyQ7");
    m_device = std::make_unique<sim::SimulatedQ7>();
    QVERIFY(m_device->Start(port.toStdString()));
    m_registry.Add("WAVECOM", port.toStdString());
    QString afterGiveUp, barAfterGiveUp, afterReturn, barAfterReturn;
    m_whileRunning = [&](TBPropertySheet& sheet) {
        auto* refresh = sheet.findChild<QPushButton*>(QStringLiteral("refresh"));
        auto* status = sheet.findChild<QLineEdit*>(QStringLiteral("status"));
        QVERIFY(refresh && status);
        m_device->Stop();
        refresh->click();
        afterGiveUp = status->text();
        barAfterGiveUp = sheet.ConnectionLabel()->text();
        // The device is back under the same name: Refresh tries again.
        QVERIFY(m_device->Start(port.toStdString()));
        refresh->click();
        afterReturn = status->text();
        barAfterReturn = sheet.ConnectionLabel()->text();
    };
    Run(QString());
    QVERIFY(m_seen.ran);
    QCOMPARE(m_seen.status, QStringLiteral("Connected (%1)").arg(port));
    QCOMPARE(afterGiveUp, QStringLiteral("Not connected (%1)").arg(port));
    QCOMPARE(barAfterGiveUp, QStringLiteral("Not connected"));
    QCOMPARE(afterReturn, QStringLiteral("Connected (%1)").arg(port));
    QCOMPARE(barAfterReturn, QStringLiteral("Connected"));
}

void StartupTest::simulatedGatewaysAsTheCommandLineAsks()
{
    // --simulate with two gateways: the port choice is offered, and the Q7R without a radio
    // opens with seven tabs.
    const CommandLine line = ParseCommandLine({"--simulate", "--count", "2", "--model", "Q7R", "--no-radio-config"});
    QVERIFY(line.error.empty());
    SimulatedGateways gateways;
    SimulatedModemRegistry registry;
    QVERIFY(gateways.Start(line.simulator, registry));
    QCOMPARE(gateways.Count(), std::size_t {2});
    std::vector<std::string> offered;
    m_app = std::make_unique<CTolbrinApp>(line.text);
    m_app->SetModemRegistry(&registry);
    m_app->SetWindowSettings(m_windowSettings.get());
    m_app->SetBeforeXmlCleanup([&gateways] { gateways.Stop(); });
    m_app->SetPortChooser([&offered](const std::vector<std::string>& ports) {
        offered = ports;
        return ports.back();
    });
    QString product;
    int tabs = 0;
    m_app->SetSheetObserver([&](TBPropertySheet& sheet) {
        QTimer::singleShot(0, &sheet, [&] {
            tabs = sheet.Tabs()->count();
            if (auto* edit = sheet.GetPage(0)->findChild<QLineEdit*>(QStringLiteral("product")))
                product = edit->text();
            sheet.reject();
        });
    });
    QCOMPARE(m_app->InitInstance(), false);
    QCOMPARE(offered.size(), std::size_t {2});
    QCOMPARE(tabs, 7);
    QVERIFY2(product.contains(QStringLiteral("Q7R")), qPrintable(product));
}

namespace {

// The commands a log records, in order.
QStringList LoggedCommands(const QString& log)
{
    const QString opening = QStringLiteral("COMMAND:\r\n") + kRule;
    QStringList commands;
    for (qsizetype at = log.indexOf(opening); at >= 0; at = log.indexOf(opening, at)) {
        at += opening.size();
        commands << log.mid(at, log.indexOf(kRule, at) - at);
    }
    return commands;
}

} // namespace

void StartupTest::queryBegunBeforeTheWindow_data()
{
    QTest::addColumn<int>("devices");
    QTest::addColumn<bool>("missingFixedPort");
    QTest::addColumn<bool>("settingsRefused");
    QTest::newRow("one device") << 1 << false << false;
    QTest::newRow("no device") << 0 << false << false;
    QTest::newRow("several devices") << 2 << false << false;
    QTest::newRow("settings query answered with ERROR, then Retry") << 1 << false << true;
    QTest::newRow("fixed port that is not there") << 1 << true << false;
}

// Detection and the device query begun on their own thread before the application gives
// what the window's thread alone gives: the same boxes, port choice, window and exchanges.
void StartupTest::queryBegunBeforeTheWindow()
{
    QFETCH(int, devices);
    QFETCH(bool, missingFixedPort);
    QFETCH(bool, settingsRefused);
    if (missingFixedPort)
        m_fixedPort = m_scratch.toStdString() + "/no-such-port";

    struct Outcome {
        CTolbrinApp::Ending ending = CTolbrinApp::Ending::NotRun;
        SheetSeen seen;
        QStringList boxes;
        // The devices each port choice offered, by the order they were plugged in.
        std::vector<std::vector<int>> choices;
        QStringList commands;
    };
    const auto runOnce = [&](bool early) {
        // Fresh devices for each run: shutdown stops the first one.
        std::vector<std::unique_ptr<sim::SimulatedQ7>> others;
        m_registry = CountingRegistry();
        if (devices > 0)
            StartDevice();
        for (int i = 1; i < devices; ++i) {
            others.push_back(std::make_unique<sim::SimulatedQ7>());
            [&] { QVERIFY(others.back()->Start()); }();
            m_registry.Add("WAVECOM", others.back()->PortPath());
        }
        if (settingsRefused) {
            m_device->ChangeFaults([](sim::Faults& f) { f.errorFor = {"<query_setting></query_setting>"}; });
            MessageBox::setAnswerer([this](const MessageBoxRequest&) {
                m_device->ChangeFaults([](sim::Faults& f) { f.errorFor.clear(); });
                return QMessageBox::Retry;
            });
        }
        MessageBox::clearHistory();
        m_seen = SheetSeen();
        m_choices.clear();
        QFile::remove(QStringLiteral("command.log"));
        m_beginEarly = early;
        Run(QStringLiteral("/debug"));
        Outcome outcome;
        outcome.ending = m_app->LastEnding();
        outcome.seen = m_seen;
        if (m_device)
            outcome.seen.status.replace(QString::fromStdString(m_device->PortPath()), QStringLiteral("PORT"));
        for (const MessageBoxRequest& box : MessageBox::history())
            outcome.boxes << box.caption;
        for (const auto& offered : m_choices) {
            std::vector<int> which;
            for (const std::string& port : offered) {
                int index = m_device && port == m_device->PortPath() ? 0 : -1;
                for (std::size_t i = 0; i < others.size(); ++i)
                    if (port == others[i]->PortPath())
                        index = static_cast<int>(i) + 1;
                which.push_back(index);
            }
            outcome.choices.push_back(which);
        }
        outcome.commands = LoggedCommands(ReadLog());
        for (auto& other : others)
            other->Stop();
        return outcome;
    };
    const Outcome alone = runOnce(false);
    const Outcome begun = runOnce(true);

    QCOMPARE(begun.ending, alone.ending);
    QCOMPARE(begun.boxes, alone.boxes);
    QCOMPARE(begun.choices, alone.choices);
    QCOMPARE(begun.commands, alone.commands);
    QCOMPARE(begun.seen.ran, alone.seen.ran);
    QCOMPARE(begun.seen.tabs, alone.seen.tabs);
    QCOMPARE(begun.seen.status, alone.seen.status);
    QCOMPARE(begun.seen.imei, alone.seen.imei);
    // What each case is, so that the comparison cannot pass on two empty runs.
    const bool opens = devices > 0 && !missingFixedPort;
    QCOMPARE(begun.seen.ran, opens);
    QCOMPARE(begun.choices.size(), std::size_t {devices > 1 && !missingFixedPort ? 1u : 0u});
    QCOMPARE(begun.boxes.size(), qsizetype {opens ? (settingsRefused ? 1 : 0) : 1});
    if (opens) {
        QVERIFY(!begun.seen.imei.isEmpty());
        QCOMPARE(begun.commands.size(), qsizetype {settingsRefused ? 22 : 11});
    } else {
        QVERIFY(begun.commands.isEmpty());
    }
}

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
