// tervane-q7-dashboard: the configuration window of the Skellin Q7.

#include "AppImages.h"
#include "CTolbrinApp.h"
#include "CommandLine.h"
#include "FakeModemRegistry.h"
#include "InterruptCleanup.h"
#include "SimulatedQ7.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

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

    // The simulated device is found like a real one: through a modem registration. Its thread
    // parses requests with libxml2, so it is stopped before the application cleans the library up.
    std::unique_ptr<tervane::sim::SimulatedQ7> simulated;
    tervane::CTolbrinApp app(line.text);
    app.SetBeforeXmlCleanup([&simulated] {
        if (simulated)
            simulated->Stop();
    });

    tervane::FakeModemRegistry simulatedRegistry;
    // Ctrl-C or SIGTERM must not leave the simulated device's port and folder behind.
    tervane::InterruptRemoval simulatedLink;
    tervane::InterruptRemoval simulatedFolder;
    if (line.simulate) {
        tervane::InstallInterruptCleanup();
        simulated = std::make_unique<tervane::sim::SimulatedQ7>();
        if (!simulated->Start()) {
            std::cerr << "tervane-q7-dashboard: the simulated device could not start\n";
            return 3;
        }
        simulatedFolder = tervane::InterruptRemoval(simulated->OwnFolder(), tervane::InterruptRemoval::Kind::Folder);
        simulatedLink = tervane::InterruptRemoval(simulated->PortPath(), tervane::InterruptRemoval::Kind::File);
        simulatedRegistry.Add("WAVECOM", simulated->PortPath());
        app.SetModemRegistry(&simulatedRegistry);
    } else if (!line.port.empty()) {
        app.SetFixedPort(line.port);
    }

    app.InitInstance();
    return 0;
}
