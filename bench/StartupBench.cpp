// Start-up of the real tervane-q7-dashboard, from the exec of its process to its first
// painted window, against the floor of its device query: each of the eleven commands drains
// the port for 100 ms before it writes, then the device takes its answer time. Two ways:
// against a simulated Q7 run by this benchmark (--port, the device in another process than
// the window's, as a real gateway is), and with the dashboard's own --simulate. Also the
// dashboard's peak memory.
//
// The dashboard writes "painted\n" to the descriptor TERVANE_FIRST_PAINT_FD names once its
// window has been painted; the clock starts before the process is spawned. The platform is
// QT_QPA_PLATFORM as set, offscreen otherwise (under Xvfb: QT_QPA_PLATFORM=xcb xvfb-run -a ...).
// Another build of the dashboard to compare with may be named as the first argument.
#include "DeviceQuery.h"
#include "SerialLink.h"
#include "SimulatedQ7.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

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

struct Run {
    double seconds = -1; // exec to first paint; negative when the window never came
    double peakMegabytes = 0;
};

// One dashboard process with `arguments`, ended once its window has been painted.
Run StartOnce(const std::string& program, const std::vector<std::string>& arguments)
{
    constexpr int kNoticeDescriptor = 3;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    std::vector<std::string> words {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kNoticeDescriptor);
    // Qt's notes about the platform would bury the figures.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    setenv("TERVANE_FIRST_PAINT_FD", std::to_string(kNoticeDescriptor).c_str(), 1);

    Run run;
    pid_t pid = 0;
    const auto start = Clock::now();
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        return run;
    }
    pollfd wait {fds[0], POLLIN, 0};
    char line[16] = {};
    if (poll(&wait, 1, 60000) == 1 && read(fds[0], line, sizeof line - 1) > 0)
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(fds[0]);
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return run;
}

void Report(const std::string& program, const char* name, const std::vector<std::string>& arguments,
    double floorSeconds)
{
    constexpr int rounds = 7;
    std::vector<double> times;
    double peak = 0;
    for (int i = 0; i < rounds; ++i) {
        const Run run = StartOnce(program, arguments);
        if (run.seconds < 0) {
            std::fprintf(stderr, "%s: the window was not painted\n", name);
            return;
        }
        times.push_back(run.seconds);
        peak = std::max(peak, run.peakMegabytes);
    }
    std::sort(times.begin(), times.end());
    double mean = 0;
    for (double t : times)
        mean += t / rounds;
    std::printf("%-10s exec to first paint %.3f s mean, %.3f s median, %.3f s worst of %d\n", name, mean,
        times[rounds / 2], times.back(), rounds);
    std::printf("%-10s ratio to the floor  %.3f mean, %.3f median (target at most 1.05)\n", name, mean / floorSeconds,
        times[rounds / 2] / floorSeconds);
    std::printf("%-10s peak memory         %.1f MB (target at most 80 MB)\n", name, peak);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string program = argc > 1 ? argv[1] : TERVANE_DASHBOARD_PROGRAM;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
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
    std::printf("query floor          %.3f s (11 x 100 ms drains + %.3f s of answers)\n", floorSeconds, answers);
    std::printf("dashboard            %s\n", program.c_str());
    Report(program, "--port", {"--port=" + device.PortPath()}, floorSeconds);
    Report(program, "--simulate", {"--simulate"}, floorSeconds);
    return 0;
}
