// The window's part of tervane-q7-dashboard, loaded by its start once detection and the
// device query are under way.

#include "AppImages.h"
#include "CTolbrinApp.h"
#include "CommandLine.h"
#include "DashboardStart.h"
#include "FirstPaintNotice.h"
#include "SimulatedGateways.h"
#include "TBPropertySheet.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <type_traits>

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

int tervane_dashboard_window(tervane::DashboardStart* start)
{
    // The start looks the entry up by name: its type is checked here.
    static_assert(std::is_same_v<decltype(&tervane_dashboard_window), tervane::DashboardWindowEntry>);
    const tervane::CommandLine& line = *start->line;
    tervane::SimulatedGateways& simulated = *start->simulated;
    if (line.simulate)
        g_simulated = &simulated;

    const QtMessageHandler previousHandler = qInstallMessageHandler(ReportMissingDisplay);
    QApplication application(*start->argc, start->argv);
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

    tervane::CTolbrinApp app(line.text, *start->started);
    app.SetBeforeXmlCleanup([&simulated] { simulated.Stop(); });
    app.SetSheetObserver([](tervane::TBPropertySheet& sheet) { tervane::FirstPaintNotice::Watch(sheet); });

    app.SetModemRegistry(start->registry);
    app.SetFixedPort(line.port);

    app.InitInstance();
    // The window's part ends here; the start stops what it started after.
    g_simulated = nullptr;
    return 0;
}
