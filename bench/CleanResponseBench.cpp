// Cleaning a long answer full of Python print spans: throughput, and the same rate at
// 1, 10 and 100 MB shows the cleaning is linear in the answer's size and allocates nothing
// once its output has grown. "InPlace" cleans a fresh copy of the answer where it lies, as
// the batch worker does; the copy is made outside the timing.
#include "CleanResponse.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string AnswerOfSize(std::size_t bytes, int spans)
{
    const std::size_t chunk = bytes / static_cast<std::size_t>(spans);
    std::string answer = "at&usbinterface=20,\"<rci_request/>\"\r\n";
    answer.reserve(bytes + 64);
    for (int i = 0; i < spans; ++i) {
        answer += "<pyPrint>tick " + std::to_string(i) + "</pyPrint>";
        answer.append(chunk > 40 ? chunk - 40 : 1, 'x');
    }
    answer += "\r\n\r\nOK\r\n";
    return answer;
}

void BM_CleanResponse(benchmark::State& state)
{
    const auto megabytes = static_cast<std::size_t>(state.range(0));
    const int spans = static_cast<int>(state.range(1));
    const std::string raw = AnswerOfSize(megabytes * 1000 * 1000, spans);
    std::string cleaned;
    for (auto _ : state) {
        tervane::CleanResponse("at&usbinterface=20,\"<rci_request/>\"\r\n", raw, cleaned);
        benchmark::DoNotOptimize(cleaned.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(raw.size()));
}

void BM_CleanResponseInPlace(benchmark::State& state)
{
    const auto megabytes = static_cast<std::size_t>(state.range(0));
    const int spans = static_cast<int>(state.range(1));
    const std::string raw = AnswerOfSize(megabytes * 1000 * 1000, spans);
    std::string text;
    text.reserve(raw.size());
    for (auto _ : state) {
        state.PauseTiming();
        text.assign(raw);
        state.ResumeTiming();
        tervane::CleanResponse("at&usbinterface=20,\"<rci_request/>\"\r\n", text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(raw.size()));
}

} // namespace

// One span per 1000 bytes at 1, 10 and 100 MB.
BENCHMARK(BM_CleanResponse)->Args({1, 1000})->Args({10, 10000})->Args({100, 100000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanResponseInPlace)->Args({1, 1000})->Args({10, 10000})->Args({100, 100000})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
