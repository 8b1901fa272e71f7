// tervane-q7-dashboard: the configuration window of the Skellin Q7.

#include "AppImages.h"
#include "CTolbrinApp.h"
#include "CommandLine.h"
#include "FirstPaintNotice.h"
#include "SimulatedGateways.h"
#include "SimulatedModemRegistry.h"
#include "StartupQuery.h"
#include "SysfsModemRegistry.h"
#include "TBPropertySheet.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

#include <iostream>
#include <string>
#include <vector>

namespace {

// The built-in simulated gateways, which a missing display must not leave behind.
tervane::SimulatedGateways* g_simulated = nullptr;

// While QApplication connects to the display, Qt's complaints about a missing or unreachable
// display become one line of the program's own, and the program ends with status 1 instead
// of Qt's abort.
void ReportMissingDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        // The platform plugin's own account of the failed connection is left out.
        if (!QByteArray(context.category).startsWith("qt.qpa"))
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        return;
    }
    std::fputs("tervane-q7-dashboard: cannot open a display (is DISPLAY or WAYLAND_DISPLAY set?)\n", stderr);
    if (g_simulated != nullptr)
        g_simulated->Stop();
    std::_Exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    const tervane::CommandLine line = tervane::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.error.empty()) {
        std::cerr << "tervane-q7-dashboard: " << line.error << "\nTry 'tervane-q7-dashboard --help'.\n";
        return 2;
    }
    if (line.help) {
        std::cout << tervane::UsageText();
        return 0;
    }
    if (line.version) {
        std::cout << "tervane-q7-dashboard " << TERVANE_PRODUCT_VERSION << "\n";
        return 0;
    }

    // The simulated devices are found like real ones: through modem registrations. Their
    // threads parse requests with libxml2, so they stop before the application cleans it up.
    tervane::SimulatedGateways simulated;
    tervane::SimulatedModemRegistry simulatedRegistry;
    tervane::SysfsModemRegistry systemRegistry;
    if (line.simulate) {
        if (!simulated.Start(line.simulator, simulatedRegistry)) {
            std::cerr << "tervane-q7-dashboard: the simulated device could not start\n";
            return 3;
        }
        g_simulated = &simulated;
    }
    tervane::ModemRegistry& registry =
        line.simulate ? static_cast<tervane::ModemRegistry&>(simulatedRegistry) : systemRegistry;

    // Detection and the device query begin before the toolkit connects to the display, so
    // that the device answers meanwhile; the window takes the answers when it is built.
    tervane::StartupQuery started;
    tervane::CTolbrinApp::OpenCommandLog(line.text, started.Log(), started.Link());
    started.Start(registry, line.port);

    const QtMessageHandler previousHandler = qInstallMessageHandler(ReportMissingDisplay);
    QApplication application(argc, argv);
    qInstallMessageHandler(previousHandler);
    QApplication::setApplicationName(QStringLiteral("tervane-q7-dashboard"));
    QApplication::setApplicationVersion(QStringLiteral(TERVANE_PRODUCT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tervane-q7-dashboard"));
    QApplication::setWindowIcon(tervane::ApplicationIcon());
    // The user's language where a translation is installed: the window's own texts and Qt's
    // (the standard buttons); English otherwise.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QTranslator windowTexts;
    if (windowTexts.load(QLocale(), QStringLiteral("tervane-q7-dashboard"), QStringLiteral("_"),
            QStringLiteral(TERVANE_TRANSLATIONS_DIR)))
        QApplication::installTranslator(&windowTexts);

    tervane::CTolbrinApp app(line.text, started);
    app.SetBeforeXmlCleanup([&simulated] { simulated.Stop(); });
    app.SetSheetObserver([](tervane::TBPropertySheet& sheet) { tervane::FirstPaintNotice::Watch(sheet); });

    app.SetModemRegistry(&registry);
    app.SetFixedPort(line.port);

    app.InitInstance();
    return 0;
}
