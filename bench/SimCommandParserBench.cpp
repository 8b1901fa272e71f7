// The simulated device's command parser fed the way a port delivers bytes: in small
// pieces. The time per byte stays the same from 64 KB to 4 MB when cutting is linear.
#include "SimCommandParser.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr std::size_t kPiece = 64;

void FeedInPieces(tervane::sim::SimCommandParser& parser, const std::string& bytes)
{
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        parser.Feed(std::string_view(bytes).substr(at, kPiece));
        while (auto input = parser.Next())
            benchmark::DoNotOptimize(input->text.data());
    }
}

// One long command line (an upload announcement gone wrong, a flood of text).
void BM_LongLineInPieces(benchmark::State& state)
{
    const std::string line = std::string(static_cast<std::size_t>(state.range(0)), 'A') + "\r";
    for (auto _ : state) {
        tervane::sim::SimCommandParser parser;
        FeedInPieces(parser, line);
        benchmark::DoNotOptimize(parser.Settle());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
    state.SetComplexityN(state.range(0));
}

// One long bare request, as a settings payload arrives.
void BM_BareRequestInPieces(benchmark::State& state)
{
    std::string request = "<rci_request version='1.1'><set_setting>";
    request.append(static_cast<std::size_t>(state.range(0)), 'x');
    request += "</set_setting></rci_request>";
    for (auto _ : state) {
        tervane::sim::SimCommandParser parser;
        parser.ExpectRawRequest();
        FeedInPieces(parser, request);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
    state.SetComplexityN(state.range(0));
}

// Many short commands arriving together.
void BM_ManyCommandsInPieces(benchmark::State& state)
{
    std::string commands;
    while (commands.size() < static_cast<std::size_t>(state.range(0)))
        commands += "AT+CSQ\r";
    for (auto _ : state) {
        tervane::sim::SimCommandParser parser;
        FeedInPieces(parser, commands);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_LongLineInPieces)->RangeMultiplier(4)->Range(64 << 10, 4 << 20)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareRequestInPieces)->RangeMultiplier(4)->Range(64 << 10, 4 << 20)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ManyCommandsInPieces)->RangeMultiplier(4)->Range(64 << 10, 4 << 20)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
