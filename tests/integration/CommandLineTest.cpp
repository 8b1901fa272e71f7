// The dashboard's command line: its own options, Qt's, "/debug", and the start without a
// display or without its window's part, which the program reports in one line of its own.

#include "CommandLine.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

#include <string>
#include <vector>

using namespace tervane;

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void parses_data();
    void parses();
    void takesTheSimulatorsOptions_data();
    void takesTheSimulatorsOptions();
    void noDisplayIsOneLineAndStatusOne_data();
    void noDisplayIsOneLineAndStatusOne();
    void brokenWindowPartIsOneLineAndStatusOne_data();
    void brokenWindowPartIsOneLineAndStatusOne();
};

void CommandLineTest::parses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("log");
    QTest::addColumn<bool>("failed");

    QTest::newRow("nothing") << QStringList {} << "" << false << false << false << false;
    QTest::newRow("--port=PATH") << QStringList {"--port=/dev/ttyACM0"} << "/dev/ttyACM0" << false << false << false
                                 << false;
    QTest::newRow("--port PATH") << QStringList {"--port", "/dev/ttyACM1"} << "/dev/ttyACM1" << false << false << false
                                 << false;
    QTest::newRow("--port rfc2217 URL") << QStringList {"--port", "rfc2217://bench-7:4001"} << "rfc2217://bench-7:4001"
                                        << false << false << false << false;
    QTest::newRow("--port=socket URL") << QStringList {"--port=socket://[::1]:4002"} << "socket://[::1]:4002" << false
                                       << false << false << false;
    QTest::newRow("--port without a path") << QStringList {"--port"} << "" << false << false << false << true;
    QTest::newRow("--port= empty") << QStringList {"--port="} << "" << false << false << false << true;
    QTest::newRow("-platform NAME") << QStringList {"-platform", "offscreen"} << "" << false << false << false << false;
    QTest::newRow("--platform NAME") << QStringList {"--platform", "xcb"} << "" << false << false << false << false;
    QTest::newRow("-style and -reverse") << QStringList {"-style", "Fusion", "-reverse"} << "" << false << false
                                         << false << false;
    QTest::newRow("/debug") << QStringList {"/debug"} << "" << false << false << true << false;
    QTest::newRow("/debug among options")
        << QStringList {"-platform", "offscreen", "/debug", "--simulate"} << "" << true << false << true << false;
    QTest::newRow("/debug inside a word") << QStringList {"x/debugging"} << "" << false << false << true << false;
    QTest::newRow("/DEBUG") << QStringList {"/DEBUG"} << "" << false << false << false << false;
    QTest::newRow("-h") << QStringList {"-h"} << "" << false << true << false << false;
    QTest::newRow("unknown option") << QStringList {"--frobnicate"} << "" << false << false << false << true;
    QTest::newRow("simulate and port") << QStringList {"--simulate", "--port=/dev/ttyUSB0"} << "/dev/ttyUSB0" << true
                                       << false << false << true;
}

void CommandLineTest::parses()
{
    QFETCH(QStringList, args);
    QFETCH(QString, port);
    QFETCH(bool, simulate);
    QFETCH(bool, help);
    QFETCH(bool, log);
    QFETCH(bool, failed);

    std::vector<std::string> words;
    for (const QString& arg : args)
        words.push_back(arg.toStdString());
    const CommandLine line = ParseCommandLine(words);
    QCOMPARE(!line.error.empty(), failed);
    if (failed)
        return;
    QCOMPARE(QString::fromStdString(line.port), port);
    QCOMPARE(line.simulate, simulate);
    QCOMPARE(line.help, help);
    QCOMPARE(WantsCommandLog(line.text), log);
}

void CommandLineTest::takesTheSimulatorsOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("radio");
    QTest::addColumn<bool>("noSim");
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("log");

    QTest::newRow("defaults") << QStringList {"--simulate"} << "" << 1 << "Q7" << true << false << 20 << false;
    QTest::newRow("two gateways, Q7R, no radio")
        << QStringList {"--simulate", "--count", "2", "--model=Q7R", "--no-radio-config"} << "" << 2 << "Q7R" << false
        << false << 20 << false;
    QTest::newRow("faults and signal among Qt's options and /debug")
        << QStringList {"-platform", "offscreen", "--fault", "no-sim", "/debug", "--simulate", "--signal=7"} << "" << 1
        << "Q7" << true << true << 7 << true;
    QTest::newRow("a value that looks like /debug is the simulator's")
        << QStringList {"--simulate", "--without", "x/debug"} << "" << 1 << "Q7" << true << false << 20 << true;
    QTest::newRow("simulator option without --simulate")
        << QStringList {"--count", "2"} << "'--count' is an option of the simulated device; it needs --simulate" << 0
        << "" << true << false << 0 << false;
    QTest::newRow("the simulator's own refusal")
        << QStringList {"--simulate", "--count", "0"} << "--simulate: --count takes 1 to 64" << 0 << "" << true << false
        << 0 << false;
    QTest::newRow("unknown fault") << QStringList {"--simulate", "--fault", "gremlins"}
                                   << "--simulate: unknown fault: gremlins" << 0 << "" << true << false << 0 << false;
    QTest::newRow("missing value") << QStringList {"--simulate", "--model"} << "--simulate: --model needs a value" << 0
                                   << "" << true << false << 0 << false;
}

void CommandLineTest::takesTheSimulatorsOptions()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    QFETCH(int, count);
    QFETCH(QString, model);
    QFETCH(bool, radio);
    QFETCH(bool, noSim);
    QFETCH(int, signal);
    QFETCH(bool, log);

    std::vector<std::string> words;
    for (const QString& arg : args)
        words.push_back(arg.toStdString());
    const CommandLine line = ParseCommandLine(words);
    QCOMPARE(QString::fromStdString(line.error), error);
    if (!error.isEmpty())
        return;
    QVERIFY(line.simulate);
    QCOMPARE(line.simulator.count, count);
    QCOMPARE(QString::fromStdString(line.simulator.config.model), model);
    QCOMPARE(line.simulator.config.radioConfigured, radio);
    QCOMPARE(line.simulator.faults.noSim, noSim);
    QCOMPARE(line.simulator.config.signalQuality, signal);
    QCOMPARE(WantsCommandLog(line.text), log);
}

void CommandLineTest::noDisplayIsOneLineAndStatusOne_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("platform");

    QTest::newRow("no DISPLAY, no WAYLAND_DISPLAY") << QStringList {"--simulate"} << "";
    QTest::newRow("unreachable DISPLAY") << QStringList {"--simulate"} << "xcb";
    QTest::newRow("-platform that does not exist") << QStringList {"-platform", "nosuchplatform", "--simulate"} << "";
}

void CommandLineTest::noDisplayIsOneLineAndStatusOne()
{
    QFETCH(QStringList, args);
    QFETCH(QString, platform);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
        environment.remove(QString::fromLatin1(name));
    if (!platform.isEmpty()) {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":9876"));
    }
    QProcess dashboard;
    dashboard.setProcessEnvironment(environment);
    dashboard.start(QStringLiteral(TERVANE_DASHBOARD), args);
    QVERIFY(dashboard.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(dashboard.readAllStandardError());
    QCOMPARE(dashboard.exitStatus(), QProcess::NormalExit);
    QCOMPARE(dashboard.exitCode(), 1);
    QCOMPARE(errors.count(u'\n'), 1);
    QVERIFY2(errors.startsWith(QStringLiteral("tervane-q7-dashboard: cannot open a display")), qPrintable(errors));
}

void CommandLineTest::brokenWindowPartIsOneLineAndStatusOne_data()
{
    QTest::addColumn<QString>("windowPart");
    QTest::addColumn<QString>("said");

    QTest::newRow("missing") << ""
                             << "tervane-q7-dashboard: cannot load its window part ";
    QTest::newRow("not a library") << "text"
                                   << "tervane-q7-dashboard: cannot load its window part ";
    QTest::newRow("another library") << "library"
                                     << " is not its window part";
}

// The start's library from a folder of its own, where the window's part is missing or wrong:
// the program says so and ends, leaving its query thread stopped and nothing open.
void CommandLineTest::brokenWindowPartIsOneLineAndStatusOne()
{
    QFETCH(QString, windowPart);
    QFETCH(QString, said);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString start = QStringLiteral(TERVANE_DASHBOARD_START);
    QVERIFY(QFile::copy(start, folder.filePath(QFileInfo(start).fileName())));
    const QString part = folder.filePath(QStringLiteral("tervane-q7-window.so"));
    if (windowPart == QLatin1String("text")) {
        QFile file(part);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a library\n");
    } else if (windowPart == QLatin1String("library")) {
        QVERIFY(QFile::copy(start, part));
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_LIBRARY_PATH"), folder.path());
    QProcess dashboard;
    dashboard.setProcessEnvironment(environment);
    dashboard.start(QStringLiteral(TERVANE_DASHBOARD),
        {QStringLiteral("--port"), folder.filePath(QStringLiteral("no-port"))});
    QVERIFY(dashboard.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(dashboard.readAllStandardError());
    QCOMPARE(dashboard.exitStatus(), QProcess::NormalExit);
    QCOMPARE(dashboard.exitCode(), 1);
    QCOMPARE(errors.count(u'\n'), 1);
    QVERIFY2(errors.startsWith(QStringLiteral("tervane-q7-dashboard: ")) && errors.contains(said), qPrintable(errors));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
