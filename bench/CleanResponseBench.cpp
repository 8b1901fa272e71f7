// Cleaning a long answer full of Python print spans: throughput at 1, 10 and 100 MB, and
// that it allocates nothing once its output has grown. "InPlace" cleans a fresh copy of the
// answer where it lies, as the batch worker does; the copy is made outside the timing.
//
// A warm answer sits in the caches when the cleaning starts, so its rate falls with its size
// for any pass that reads every byte. "Cold" takes the caches out of the answer: it cycles
// through enough copies of the answer that together they exceed the last-level cache twice,
// so each one has been pushed out to memory by the time it is cleaned again. The same rate
// at every size there is what a single linear pass looks like.
//
// Answers arrive over a link of at most a few megabytes a second: cleaning has to stay linear
// and far above that rate (a hundred times at least), not at any rate of its own.
#include "CleanResponse.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kCommand = "at&usbinterface=20,\"<rci_request/>\"\r\n";

std::string AnswerOfSize(std::size_t bytes, int spans)
{
    const std::size_t chunk = bytes / static_cast<std::size_t>(spans);
    std::string answer(kCommand);
    answer.reserve(bytes + 64);
    for (int i = 0; i < spans; ++i) {
        answer += "<pyPrint>tick " + std::to_string(i) + "</pyPrint>";
        answer.append(chunk > 40 ? chunk - 40 : 1, 'x');
    }
    answer += "\r\n\r\nOK\r\n";
    return answer;
}

std::string AnswerFor(const benchmark::State& state)
{
    const auto megabytes = static_cast<std::size_t>(state.range(0));
    return AnswerOfSize(megabytes * 1000 * 1000, static_cast<int>(state.range(1)));
}

// Copies of one answer that together are at least twice the last-level cache.
std::size_t CopiesOutsideTheCache(std::size_t answerBytes)
{
    long cache = sysconf(_SC_LEVEL3_CACHE_SIZE);
    if (cache <= 0)
        cache = sysconf(_SC_LEVEL2_CACHE_SIZE);
    const std::size_t lastLevel = cache > 0 ? static_cast<std::size_t>(cache) : std::size_t {64} << 20;
    return std::max<std::size_t>(3, 2 * lastLevel / answerBytes + 2);
}

void BM_CleanResponse(benchmark::State& state)
{
    const std::string raw = AnswerFor(state);
    std::string cleaned;
    for (auto _ : state) {
        tervane::CleanResponse(kCommand, raw, cleaned);
        benchmark::DoNotOptimize(cleaned.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(raw.size()));
}

void BM_CleanResponseInPlace(benchmark::State& state)
{
    const std::string raw = AnswerFor(state);
    std::string text;
    text.reserve(raw.size());
    for (auto _ : state) {
        state.PauseTiming();
        text.assign(raw);
        state.ResumeTiming();
        tervane::CleanResponse(kCommand, text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(raw.size()));
}

// Each copy is restored right after it is cleaned, outside the timing; it is cleaned again
// only after all the others have been, by which time it has left the caches.
void BM_CleanResponseInPlaceCold(benchmark::State& state)
{
    const std::string raw = AnswerFor(state);
    std::vector<std::string> copies(CopiesOutsideTheCache(raw.size()), raw);
    std::size_t next = 0;
    for (auto _ : state) {
        std::string& text = copies[next];
        tervane::CleanResponse(kCommand, text);
        benchmark::DoNotOptimize(text.data());
        state.PauseTiming();
        text.assign(raw);
        next = (next + 1) % copies.size();
        state.ResumeTiming();
    }
    state.counters["copies"] = static_cast<double>(copies.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(raw.size()));
}

// The answer comes from memory; the output's storage is one reused string.
void BM_CleanResponseCold(benchmark::State& state)
{
    const std::string raw = AnswerFor(state);
    const std::vector<std::string> copies(CopiesOutsideTheCache(raw.size()), raw);
    std::string cleaned;
    std::size_t next = 0;
    for (auto _ : state) {
        tervane::CleanResponse(kCommand, copies[next], cleaned);
        benchmark::DoNotOptimize(cleaned.data());
        next = (next + 1) % copies.size();
    }
    state.counters["copies"] = static_cast<double>(copies.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(raw.size()));
}

// One span per 1000 bytes at 1, 10 and 100 MB.
void Sizes(benchmark::internal::Benchmark* bench)
{
    bench->Args({1, 1000})->Args({10, 10000})->Args({100, 100000})->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_CleanResponse)->Apply(Sizes);
BENCHMARK(BM_CleanResponseInPlace)->Apply(Sizes);
BENCHMARK(BM_CleanResponseCold)->Apply(Sizes);
BENCHMARK(BM_CleanResponseInPlaceCold)->Apply(Sizes);

BENCHMARK_MAIN();
