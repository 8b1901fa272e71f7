// The local digest of a 256 MB file against md5sum on the same file, timed in the same run
// and from the page cache for both: the ratio should stay at or below 1.05.
#include "TransferVerification.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr std::size_t kFileSize = 256u * 1000 * 1000;

std::string BenchFile()
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/tervane-digest-bench.bin";
}

bool WriteRandomFile(const std::string& path, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::mt19937_64 random(1321);
    std::vector<uint64_t> block(1 << 17);
    std::size_t left = size;
    while (left > 0) {
        for (auto& word : block)
            word = random();
        const std::size_t n = std::min(left, block.size() * sizeof(uint64_t));
        if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) {
            ::close(fd);
            return false;
        }
        left -= n;
    }
    return ::close(fd) == 0;
}

// md5sum's digest of the file, read from its output.
std::string Md5sum(const std::string& path)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string file = path;
    char program[] = "md5sum";
    char* argv[] = {program, file.data(), nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, "md5sum", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while (spawned == 0 && (n = ::read(out[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return text.substr(0, 32);
}

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

void BM_FileDigestHexAgainstMd5sum(benchmark::State& state)
{
    const std::string path = BenchFile();
    if (!WriteRandomFile(path, kFileSize)) {
        state.SkipWithError("cannot write the 256 MB file");
        return;
    }
    // Both read from the page cache.
    Md5sum(path);
    double ours = 0;
    double theirs = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto digest = tervane::FileDigestHex(path);
        const auto t1 = std::chrono::steady_clock::now();
        const std::string reference = Md5sum(path);
        const auto t2 = std::chrono::steady_clock::now();
        if (!digest || *digest != reference) {
            state.SkipWithError("the digests differ");
            break;
        }
        ours += Seconds(t1 - t0);
        theirs += Seconds(t2 - t1);
        state.SetIterationTime(Seconds(t1 - t0));
    }
    ::unlink(path.c_str());
    const double runs = static_cast<double>(state.iterations());
    state.counters["FileDigestHex_ms"] = ours / runs * 1000;
    state.counters["md5sum_ms"] = theirs / runs * 1000;
    state.counters["ratio"] = theirs > 0 ? ours / theirs : 0;
    state.SetBytesProcessed(static_cast<int64_t>(kFileSize) * state.iterations());
}

} // namespace

BENCHMARK(BM_FileDigestHexAgainstMd5sum)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
