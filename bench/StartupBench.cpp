// Start-up of the dashboard against the simulated Q7, from InitInstance to the window shown:
// wall time against the floor of its device query (each of the eleven commands drains the
// port for 100 ms before it writes, then the device takes its answer time), and the peak
// memory of the process meanwhile (the simulated device runs in it too).
#include "CTolbrinApp.h"
#include "DeviceQuery.h"
#include "SimulatedModemRegistry.h"
#include "SerialLink.h"
#include "SimulatedQ7.h"
#include "TBPropertySheet.h"

#include <QApplication>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double PeakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The device's own answer time for the query's commands, without the drains.
double AnswerSeconds(const std::string& port)
{
    tervane::SerialLink link;
    link.SetPortName(port);
    if (!link.OpenPort())
        return -1;
    double seconds = 0;
    const tervane::CommandBatch batch = tervane::DeviceQueryBatch();
    for (const auto& record : batch) {
        link.DrainPort();
        std::string raw;
        const auto start = Clock::now();
        link.WriteRaw(record.command.data(), record.command.size());
        link.ReadResponse(record.command, raw, 100000 + 1, record.timeout, false, nullptr);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    link.ClosePort();
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    tervane::sim::SimulatedQ7 device;
    if (!device.Start()) {
        std::fprintf(stderr, "the simulated device did not start\n");
        return 1;
    }
    const double answers = AnswerSeconds(device.PortPath());
    if (answers < 0) {
        std::fprintf(stderr, "cannot open %s\n", device.PortPath().c_str());
        return 1;
    }
    const double floorSeconds = 11 * 0.100 + answers;

    constexpr int rounds = 3;
    double total = 0;
    double worst = 0;
    for (int i = 0; i < rounds; ++i) {
        tervane::SimulatedModemRegistry registry;
        registry.Add("WAVECOM", device.PortPath());
        tervane::CTolbrinApp app(std::string{});
        app.SetModemRegistry(&registry);
        Clock::time_point start;
        double shownAfter = 0;
        app.SetSheetObserver([&](tervane::TBPropertySheet& sheet) {
            QTimer::singleShot(0, &sheet, [&] {
                shownAfter = std::chrono::duration<double>(Clock::now() - start).count();
                sheet.reject();
            });
        });
        start = Clock::now();
        app.InitInstance();
        total += shownAfter;
        worst = std::max(worst, shownAfter);
    }
    const double mean = total / rounds;
    std::printf("query floor         %7.3f s (11 x 100 ms drains + %.3f s of answers)\n", floorSeconds, answers);
    std::printf("start-up to window  %7.3f s mean, %.3f s worst of %d\n", mean, worst, rounds);
    std::printf("ratio               %7.3f (target at most 1.10)\n", mean / floorSeconds);
    std::printf("peak memory         %7.1f MB (target at most 80 MB)\n", PeakMegabytes());
    return 0;
}
