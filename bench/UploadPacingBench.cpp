// A 256 KiB upload to the simulated device at real time against the floor the pacing sets:
// 50 ms after each chunk plus the exchanges around the data, which an upload of an empty
// file on the same link measures. The ratio should stay at or below 1.03.
#include "SerialLink.h"
#include "SimulatedQ7.h"
#include "UploadWorker.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr std::size_t kUploadSize = 256 * 1024;

std::string WriteSource(const std::string& name, std::size_t size)
{
    const char* dir = std::getenv("TMPDIR");
    const std::string path = std::string(dir && *dir ? dir : "/tmp") + "/" + name;
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919) >> 3);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(size));
    return path;
}

double TimedUpload(tervane::SerialLink& link, const tervane::UploadSource& source, bool& ok)
{
    const auto start = std::chrono::steady_clock::now();
    ok = tervane::RunUpload(link, source, nullptr).Succeeded();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long long Chunks(long long size)
{
    long long chunks = 0;
    for (long long sent = 0; sent < size; sent += tervane::UploadChunkSize(size - sent))
        ++chunks;
    return chunks;
}

void BM_Upload256KiBAgainstPacing(benchmark::State& state)
{
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
    const std::string emptyPath = WriteSource("tervane-bench-empty.py", 0);
    const std::string fullPath = WriteSource("tervane-bench-256k.py", kUploadSize);
    const tervane::UploadSource empty(emptyPath, false, false);
    const tervane::UploadSource full(fullPath, false, false);
    const double pacing = static_cast<double>(Chunks(kUploadSize) * tervane::kChunkPauseMs) / 1000;

    double wall = 0;
    double floor = 0;
    for (auto _ : state) {
        bool emptyOk = false;
        bool fullOk = false;
        const double exchanges = TimedUpload(link, empty, emptyOk);
        const double seconds = TimedUpload(link, full, fullOk);
        if (!emptyOk || !fullOk || device.GetFile("/WEB/python/tervane-bench-256k.py")->size() != kUploadSize) {
            state.SkipWithError("the upload failed");
            break;
        }
        wall += seconds;
        floor += pacing + exchanges;
        state.SetIterationTime(seconds);
    }
    ::unlink(emptyPath.c_str());
    ::unlink(fullPath.c_str());
    link.ClosePort();
    device.Stop();
    const double runs = static_cast<double>(state.iterations());
    state.counters["chunks"] = static_cast<double>(Chunks(kUploadSize));
    state.counters["wall_s"] = wall / runs;
    state.counters["floor_s"] = floor / runs;
    state.counters["ratio"] = floor > 0 ? wall / floor : 0;
}

} // namespace

BENCHMARK(BM_Upload256KiBAgainstPacing)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
