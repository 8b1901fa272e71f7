// `settings get` without a path: every setting of the document listed with its path, and
// the JSON object of them all. Run at 0.1, 1 and 10 MB of settings: the time per byte stays
// the same, so the listing is one walk of the tree and the object appends in constant time.
#include "JsonWriter.h"
#include "RciDocuments.h"
#include "SettingTexts.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace tervane;

// Many indexed groups, each holding a few settings and an indexed array, as the remote
// management connections are sent.
std::string SettingsReplyOfSize(std::size_t bytes)
{
    std::string reply = "<rci_reply version=\"1.1\">\n<query_setting>\n";
    reply.reserve(bytes + 4096);
    for (int i = 1; reply.size() < bytes; ++i) {
        reply += "<mgmtconnection index=\"" + std::to_string(i) +
                 "\"><connectionEnabled>on</connectionEnabled><ServerArray index=\"1\"><serverAddress>"
                 "en://server-" + std::to_string(i) + ".example.com</serverAddress></ServerArray>"
                 "<clientConnectionReconnectTimeout>3600</clientConnectionReconnectTimeout></mgmtconnection>\n";
    }
    reply += "<serial><baud>115200</baud><databits>8</databits></serial>\n</query_setting>\n</rci_reply>";
    return reply;
}

void BM_ListAllSettings(benchmark::State& state)
{
    const std::string reply = SettingsReplyOfSize(static_cast<std::size_t>(state.range(0)));
    RciDocuments documents;
    documents.ParseSettings(reply);
    if (documents.SettingsRoot() == nullptr) {
        state.SkipWithError(documents.LastParseError().c_str());
        return;
    }
    std::size_t listed = 0;
    for (auto _ : state) {
        auto values = ListSettings(documents.SettingsRoot());
        JsonValue settings = JsonValue::Object();
        settings.Reserve(values.size());
        for (auto& [path, value] : values)
            settings.AddNew(std::move(path), std::move(value));
        listed = settings.Size();
        benchmark::DoNotOptimize(listed);
    }
    state.counters["settings"] = static_cast<double>(listed);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(reply.size()));
}

} // namespace

BENCHMARK(BM_ListAllSettings)->Arg(100'000)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
