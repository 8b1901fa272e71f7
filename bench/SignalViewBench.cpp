// The window's signal view polling a simulated Q7 at its cadence: the CPU the whole program
// (window's thread, polling thread, the strip painted at every reading) spends per wall
// second, and the drift of the readings from their fixed cadence. The device runs in
// tervane-q7-sim, a process of its own, so its CPU is not counted. Arguments: readings (300)
// and interval in ms (1000). Runs on the offscreen platform unless QT_QPA_PLATFORM says
// otherwise.
#include "SerialLink.h"
#include "SignalView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double ProcessCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    const int readings = argc > 1 ? std::atoi(argv[1]) : 300;
    const int intervalMs = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (readings < 2 || readings > 100000 || intervalMs < 500 || intervalMs > 60000) {
        std::fprintf(stderr, "usage: bench_signal_view [READINGS 2-100000] [INTERVAL_MS 500-60000]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return 1;
    const pid_t sim = fork();
    if (sim == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        execl(TERVANE_SIM_PROGRAM, TERVANE_SIM_PROGRAM, "--signal-pattern", "peak", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    FILE* published = fdopen(pipeFds[0], "r");
    char line[4096] = {};
    const bool gotPath = std::fgets(line, sizeof line, published) != nullptr;
    const auto stopSimulator = [sim] {
        kill(sim, SIGTERM);
        waitpid(sim, nullptr, 0);
    };
    std::string path(line);
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
        path.pop_back();

    int status = 1;
    {
        QApplication app(argc, argv);
        tervane::SerialLink link;
        link.SetPortName(path);
        if (!gotPath || !link.OpenPort()) {
            std::fprintf(stderr, "tervane-q7-sim did not publish a port that opens\n");
            stopSimulator();
            return 1;
        }
        tervane::SignalView view(link);
        view.resize(640, 420);
        view.SetInterval(std::chrono::milliseconds(intervalMs));

        const double cpuStart = ProcessCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        view.Open("Q7");
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (static_cast<int>(view.Session().Entries().size()) >= readings)
                app.quit();
        });
        check.start(intervalMs / 4);
        app.exec();
        const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
        const double cpu = ProcessCpuSeconds() - cpuStart;
        view.close();

        const auto& entries = view.Session().Entries();
        const double span =
            std::chrono::duration<double>(entries[static_cast<std::size_t>(readings - 1)].time - entries.front().time)
                .count();
        const double drift = span - (readings - 1) * (intervalMs / 1000.0);
        int known = 0;
        for (const auto& entry : entries)
            known += entry.reading.known ? 1 : 0;
        std::printf("readings %d every %d ms in the signal view, %d known\n", readings, intervalMs, known);
        std::printf("last reading %+.3f s from %d x interval after the first (limit one interval)\n", drift,
            readings - 1);
        std::printf("dashboard process CPU (window, polling thread, painting) %.3f s = %.3f %% of %.1f s wall "
                    "(goal below 1 %%)\n",
            cpu, 100 * cpu / seconds, seconds);
        status = drift < intervalMs / 1000.0 && drift > -intervalMs / 1000.0 ? 0 : 1;
    }
    stopSimulator();
    return status;
}
