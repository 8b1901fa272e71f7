// Replies and restore files full of attributes, up to the 16 MiB input cap: an element with
// ever more attributes at the end (refused after the pre-scan) and many elements each at the
// attribute limit (parsed whole). Both take the same time per byte at every size.
#include "SafeXml.h"
#include "XmlPrescan.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr std::size_t kMiB = 1024 * 1024;

std::string Attribute(std::size_t i)
{
    return " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
}

// A reply whose last element carries attributes over the last half of its `bytes`, so the
// pre-scan reads all of it before refusing.
std::string OneHeavyElement(std::size_t bytes)
{
    std::string text = "<rci_reply><query_setting><data>";
    text.append(bytes / 2, 'x');
    text += "</data><g";
    for (std::size_t i = 0; text.size() + 64 < bytes; ++i)
        text += Attribute(i);
    return text + "/></query_setting></rci_reply>";
}

// Groups that each carry the most attributes an element may have.
std::string ManyElementsAtTheLimit(std::size_t bytes)
{
    std::string group = "<g";
    for (std::size_t i = 0; i < tervane::kMaxXmlAttributesPerElement; ++i)
        group += Attribute(i);
    group += "/>";
    std::string text = "<rci_reply><query_setting>";
    while (text.size() + group.size() + 64 < bytes)
        text += group;
    return text + "</query_setting></rci_reply>";
}

void Parse(benchmark::State& state, const std::string& text, bool parsed)
{
    for (auto _ : state) {
        std::string error;
        const tervane::XmlDocument doc = tervane::ReadUntrustedXml(text, "bench.xml", &error);
        if ((doc != nullptr) != parsed)
            state.SkipWithError(("unexpected outcome: " + error).c_str());
        benchmark::DoNotOptimize(doc.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetComplexityN(static_cast<int64_t>(text.size()));
}

void BM_OneHeavyElement(benchmark::State& state)
{
    Parse(state, OneHeavyElement(static_cast<std::size_t>(state.range(0)) * kMiB), false);
}

void BM_ManyElementsAtTheLimit(benchmark::State& state)
{
    Parse(state, ManyElementsAtTheLimit(static_cast<std::size_t>(state.range(0)) * kMiB), true);
}

} // namespace

BENCHMARK(BM_OneHeavyElement)->RangeMultiplier(2)->Range(1, 16)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ManyElementsAtTheLimit)->RangeMultiplier(2)->Range(1, 16)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
