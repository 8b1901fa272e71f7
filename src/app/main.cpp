// tervane-q7-dashboard: the configuration window of the Skellin Q7.

#include "AppImages.h"
#include "CTolbrinApp.h"
#include "CommandLine.h"
#include "FakeModemRegistry.h"
#include "SimulatedQ7.h"

#include <QApplication>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

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

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tervane-q7-dashboard"));
    QApplication::setApplicationVersion(QStringLiteral(TERVANE_PRODUCT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tervane-q7-dashboard"));
    QApplication::setWindowIcon(tervane::ApplicationIcon());

    tervane::CTolbrinApp app(line.text);

    // The simulated device is found like a real one: through a modem registration.
    std::unique_ptr<tervane::sim::SimulatedQ7> simulated;
    tervane::FakeModemRegistry simulatedRegistry;
    if (line.simulate) {
        simulated = std::make_unique<tervane::sim::SimulatedQ7>();
        if (!simulated->Start()) {
            std::cerr << "tervane-q7-dashboard: the simulated device could not start\n";
            return 3;
        }
        simulatedRegistry.Add("WAVECOM", simulated->PortPath());
        app.SetModemRegistry(&simulatedRegistry);
    } else if (!line.port.empty()) {
        app.SetFixedPort(line.port);
    }

    app.InitInstance();
    return 0;
}
