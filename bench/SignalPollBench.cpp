// The signal poll against the simulated Q7 at its own cadence: the CPU time the polling
// thread spends per wall second (it sleeps between readings; no busy waiting), and the drift
// of the readings from their fixed cadence. Arguments: readings (300) and interval in ms
// (1000). Each poll drains the port for 100 ms before each of its two commands, so an
// interval down to 500 ms keeps the same shape: a poll, then a sleep to the next due time.
#include "DeviceRunner.h"
#include "SerialLink.h"
#include "SignalPoll.h"
#include "SimulatedQ7.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

namespace {

double ThreadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double ProcessCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    const int readings = argc > 1 ? std::atoi(argv[1]) : 300;
    const int intervalMs = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (readings < 2 || readings > 100000 || intervalMs < 500 || intervalMs > 60000) {
        std::fprintf(stderr, "usage: bench_signal_poll [READINGS 2-100000] [INTERVAL_MS 500-60000]\n");
        return 2;
    }
    tervane::sim::DeviceConfig config;
    config.signalPattern = tervane::sim::SignalPattern::NoisyPeak;
    tervane::sim::SimulatedQ7 device(config);
    if (!device.Start()) {
        std::fprintf(stderr, "the simulated device did not start\n");
        return 1;
    }
    tervane::SerialLink link;
    link.SetPortName(device.PortPath());
    if (!link.OpenPort()) {
        std::fprintf(stderr, "cannot open %s\n", device.PortPath().c_str());
        return 1;
    }
    tervane::DirectRunner runner(link);

    using Clock = std::chrono::steady_clock;
    const std::chrono::milliseconds interval(intervalMs);
    const double threadCpuStart = ThreadCpuSeconds();
    const double processCpuStart = ProcessCpuSeconds();
    const Clock::time_point first = Clock::now();
    tervane::SignalCadence cadence(first, interval);
    Clock::time_point last = first;
    int known = 0;
    double longestPoll = 0;
    for (int reading = 0; reading < readings; ++reading) {
        last = Clock::now();
        if (tervane::PollSignal(runner, config.model).known)
            ++known;
        longestPoll = std::max(longestPoll, std::chrono::duration<double>(Clock::now() - last).count());
        if (reading + 1 < readings)
            std::this_thread::sleep_until(cadence.NextDue(Clock::now()));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - first).count();
    const double threadCpu = ThreadCpuSeconds() - threadCpuStart;
    const double processCpu = ProcessCpuSeconds() - processCpuStart;
    const double expected = (readings - 1) * (intervalMs / 1000.0);
    const double drift = std::chrono::duration<double>(last - first).count() - expected;

    std::printf("readings %d every %d ms, %d known, longest poll %.3f s\n", readings, intervalMs, known, longestPoll);
    std::printf("wall %.3f s; last reading %+.3f s from %d x interval after the first (limit one interval)\n", wall,
        drift, readings - 1);
    std::printf("polling thread CPU %.4f s = %.3f %% of wall (goal below 1 %%)\n", threadCpu, 100 * threadCpu / wall);
    std::printf("whole process CPU, simulator included, %.4f s = %.3f %% of wall\n", processCpu,
        100 * processCpu / wall);
    return drift < intervalMs / 1000.0 && drift > -intervalMs / 1000.0 ? 0 : 1;
}
