// Uploads of 256 KiB and 4 MiB to the simulated device at real time against the floor the
// pacing sets: 50 ms per chunk plus the exchanges around the data, which an upload of an
// empty file on the same link measures. Chunks are due at fixed times from the start, so the
// ratio stays at or below 1.002 however large the file.
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

void BM_UploadAgainstPacing(benchmark::State& state)
{
    const auto uploadSize = static_cast<std::size_t>(state.range(0));
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
    const std::string fullPath = WriteSource("tervane-bench-full.py", uploadSize);
    const tervane::UploadSource empty(emptyPath, false, false);
    const tervane::UploadSource full(fullPath, false, false);
    const double pacing = static_cast<double>(Chunks(static_cast<long long>(uploadSize)) * tervane::kChunkPauseMs) / 1000;

    double wall = 0;
    double floor = 0;
    for (auto _ : state) {
        bool emptyOk = false;
        bool fullOk = false;
        const double exchanges = TimedUpload(link, empty, emptyOk);
        const double seconds = TimedUpload(link, full, fullOk);
        if (!emptyOk || !fullOk || device.GetFile("/WEB/python/tervane-bench-full.py")->size() != uploadSize) {
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
    state.counters["chunks"] = static_cast<double>(Chunks(static_cast<long long>(uploadSize)));
    state.counters["wall_s"] = wall / runs;
    state.counters["floor_s"] = floor / runs;
    state.counters["ratio"] = floor > 0 ? wall / floor : 0;
}

} // namespace

BENCHMARK(BM_UploadAgainstPacing)->Arg(256 * 1024)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadAgainstPacing)->Arg(4 * 1024 * 1024)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
