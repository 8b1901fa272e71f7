// The data phase of an upload to the simulated device at real time, against its floor: each
// chunk's write as it took, and the pause of kChunkPauseMs after it. Run as it comes, and
// with a port that stalls (every 16th write held up 120 ms more, as by a busy device): the
// pauses run from the end of each write, so a stall lengthens the upload by the stall alone.
// wall/floor is what the pacing adds: the wake-ups' lateness, never a whole pause. The
// lateness of each pause's end (the next write's start after the write before it ended and
// kChunkPauseMs passed) is given as its mean and its largest; on a busy machine it is the
// scheduler's wake-up delay. The shortest gap between a write's end and the next write's
// start shows that no chunk followed the one before closer than the pause.
#include "CommandLog.h"
#include "SerialLink.h"
#include "SimulatedQ7.h"
#include "UploadWorker.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

namespace {

constexpr const char* kDestination = "/WEB/python/pacing.py";
constexpr int kStallEvery = 16;
constexpr auto kStall = std::chrono::milliseconds(120);

bool Exchange(tervane::SerialLink& link, const std::string& line, int timeoutMs)
{
    if (!link.SendCommand(line))
        return false;
    std::string raw;
    link.ReadResponse(line, raw, 1024, timeoutMs, false, nullptr);
    return link.CleanResponse(line, raw);
}

// The announcements of an upload of `size` bytes, so that the device takes the data.
bool Announce(tervane::SerialLink& link, std::size_t size)
{
    const std::string count = std::to_string(size);
    return Exchange(link, "AT&USBINTERFACE=17," + count + "\r\n", 500) &&
        Exchange(link, "AT&USBINTERFACE=3," + count + "\r\n", 250) &&
        Exchange(link, "AT&USBINTERFACE=16,\"" + std::string(kDestination) + "\"\r\n", 250) &&
        Exchange(link, "AT&USBINTERFACE=9," + std::string(kDestination) + "\r\n", 250) &&
        Exchange(link, "AT&USBINTERFACE=5\r\n", 4000);
}

void BM_UploadDataAgainstItsFloor(benchmark::State& state)
{
    const auto size = static_cast<std::size_t>(state.range(0));
    const bool stalls = state.range(1) != 0;
    tervane::sim::SimulatedQ7 device;
    if (!device.Start()) {
        state.SkipWithError("the simulated device does not start");
        return;
    }
    tervane::SerialLink link;
    link.SetPortName(device.PortPath());
    if (!link.OpenPort()) {
        state.SkipWithError("the port does not open");
        return;
    }
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919) >> 3);

    double wall = 0;
    double floor = 0;
    long long chunks = 0;
    double lateSum = 0;
    double lateMax = 0;
    double shortestGap = 1e9;
    long long gaps = 0;
    for (auto _ : state) {
        if (!Announce(link, size)) {
            state.SkipWithError("the device refused the upload");
            break;
        }
        double writing = 0;
        long long writes = 0;
        std::chrono::steady_clock::time_point lastEnd;
        const tervane::DataWriter writer = [&](const char* data, std::size_t length) {
            const auto start = std::chrono::steady_clock::now();
            if (writes > 0) {
                const double gap = std::chrono::duration<double>(start - lastEnd).count();
                const double late = gap - tervane::kChunkPauseMs / 1000.0;
                lateSum += late;
                lateMax = std::max(lateMax, late);
                shortestGap = std::min(shortestGap, gap);
                ++gaps;
            }
            if (++writes % kStallEvery == 0 && stalls)
                std::this_thread::sleep_for(kStall);
            const long taken = link.WriteRaw(data, length);
            lastEnd = std::chrono::steady_clock::now();
            writing += std::chrono::duration<double>(lastEnd - start).count();
            return taken;
        };
        const auto start = std::chrono::steady_clock::now();
        const tervane::DataWriteResult result =
            tervane::WriteUploadData(bytes, writer, link.GetClock(), nullptr, nullptr);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::string raw;
        link.ReadResponse("AT&USBINTERFACE=5\r\n", raw, 1024,
            tervane::UploadAnswerTimeout(static_cast<long long>(size)), false, nullptr);
        const bool stored = Exchange(link, "AT&USBINTERFACE=18," + std::to_string(size) + "\r\n", 5000);
        if (result.failed || !stored || device.GetFile(kDestination).value_or("") != bytes) {
            state.SkipWithError("the data did not arrive");
            break;
        }
        chunks = writes;
        wall += seconds;
        floor += writing + static_cast<double>(writes) * tervane::kChunkPauseMs / 1000.0;
        state.SetIterationTime(seconds);
    }
    link.ClosePort();
    device.Stop();
    const double runs = static_cast<double>(state.iterations());
    state.counters["chunks"] = static_cast<double>(chunks);
    state.counters["wall_s"] = wall / runs;
    state.counters["floor_s"] = floor / runs;
    state.counters["ratio"] = floor > 0 ? wall / floor : 0;
    state.counters["late_mean_us"] = gaps > 0 ? lateSum / static_cast<double>(gaps) * 1e6 : 0;
    state.counters["late_max_us"] = lateMax * 1e6;
    state.counters["shortest_gap_ms"] = gaps > 0 ? shortestGap * 1e3 : 0;
}

} // namespace

// 128 chunks each: about 6.5 s, and 1 s more of stalls.
BENCHMARK(BM_UploadDataAgainstItsFloor)
    ->ArgNames({"bytes", "stall"})
    ->Args({128 * 1024, 0})
    ->Args({128 * 1024, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
