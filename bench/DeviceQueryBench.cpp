// The device query's eleven commands against the simulated Q7: wall time against the floor
// the link's design sets (each command drains the port for 100 ms before it writes, then
// the device takes its answer time), and the CPU time spent meanwhile (no busy waiting).
#include "BatchWorker.h"
#include "RciRequests.h"
#include "SerialLink.h"
#include "SimulatedQ7.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

double CpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

tervane::CommandBatch DeviceQuery()
{
    const std::string commands[] = {"AT\r\n\r\n", "AT+CGMI\r\n", "AT+CGSN\r\n", "AT+CGMR\r\n", "AT+CIMI\r\n",
        "AT+CSQ\r\n", "AT+CNUM\r\n", "AT+CREG?\r\n", std::string(tervane::kQuerySettingsRequest),
        std::string(tervane::kQueryStateRequest), std::string(tervane::kQueryRadioSettingsRequest)};
    tervane::CommandBatch batch;
    for (const auto& command : commands) {
        tervane::USBCommand record;
        record.command = command;
        record.timeout = command.starts_with("at&") ? 5000 : 1000;
        batch.AddTail(record);
    }
    return batch;
}

} // namespace

int main()
{
    tervane::sim::DeviceConfig config;
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

    // The device's own answer time, measured once per command without the drain.
    double answerSeconds = 0;
    {
        tervane::CommandBatch batch = DeviceQuery();
        for (const auto& record : batch) {
            link.DrainPort();
            std::string raw;
            const auto start = std::chrono::steady_clock::now();
            // Straight to the port: no drain before the write.
            link.WriteRaw(record.command.data(), record.command.size());
            link.ReadResponse(record.command, raw, 100000 + 1, record.timeout, false, nullptr);
            answerSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    }
    const double floorSeconds = 11 * 0.100 + answerSeconds;

    constexpr int rounds = 5;
    double wall = 0;
    double cpu = 0;
    for (int i = 0; i < rounds; ++i) {
        tervane::CommandBatch batch = DeviceQuery();
        const double cpuStart = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        tervane::RunBatch(link, batch, nullptr);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += CpuSeconds() - cpuStart;
        for (const auto& record : batch)
            if (record.failed)
                std::fprintf(stderr, "warning: a command of the query failed: %s", record.command.c_str());
    }
    wall /= rounds;
    cpu /= rounds;
    std::printf("device query, 11 commands, mean of %d runs\n", rounds);
    std::printf("  wall time          %.3f s\n", wall);
    std::printf("  floor              %.3f s (11 x 100 ms drain + %.3f s of answers)\n", floorSeconds, answerSeconds);
    std::printf("  wall / floor       %.3f (target at most 1.05)\n", wall / floorSeconds);
    std::printf("  CPU / wall         %.1f %% (target at most 5 %%; includes the simulator's thread)\n",
        100.0 * cpu / wall);
    return 0;
}
