// The settings document on every apply: parse the device's answer, resolve every path of
// a page, store the page back and prepare the payload. Run at 0.1, 1 and 10 MB: the time
// per byte stays the same, so each step is linear in the document's size.
#include "BindingTable.h"
#include "RciDocuments.h"
#include "SettingPath.h"
#include "SettingsPayload.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace tervane;

// The serial port page's rows: their groups sit at the end of the document, so every
// path walks past all the other groups first.
BindingTable SerialPageTable()
{
    const char* onOff[] = {"telnet_server", "tcp_server", "ssh_server", "securesocket"};
    BindingTable table;
    FieldId id = 1;
    for (const char* setting : {"baud", "databits", "parity", "stopbits", "flowcontrol"})
        table.push_back({std::string("serial/") + setting, id++, 1026, "x\ny", BIND_TEXT | BIND_CHOICES, nullptr, nullptr});
    for (const char* group : onOff) {
        table.push_back({std::string(group) + "/state", id++, 1031, {}, BIND_ONOFF, nullptr, nullptr});
        table.push_back({std::string(group) + "/port", id++, 1034, {}, BIND_TEXT, nullptr, nullptr});
        table.push_back({std::string(group) + "/keepalive", id++, 1035, {}, BIND_ONOFF, nullptr, nullptr});
    }
    table.push_back({"udp_server/state", id++, 1025, {}, BIND_ONOFF, nullptr, nullptr});
    table.push_back({"udp_server/port", id++, 1040, {}, BIND_TEXT, nullptr, nullptr});
    table.push_back({"mgmtconnection&index=3/ServerArray&index=1/serverAddress", id++, 1015, {}, BIND_TEXT, nullptr, nullptr});
    return table;
}

std::string SettingsReplyOfSize(std::size_t bytes)
{
    std::string reply = "<rci_reply version=\"1.1\">\n<query_setting>\n";
    reply.reserve(bytes + 4096);
    for (int i = 1; reply.size() < bytes; ++i) {
        reply += "<mgmtconnection index=\"" + std::to_string(i + 3) +
                 "\"><connectionEnabled>on</connectionEnabled><ServerArray index=\"1\"><serverAddress>"
                 "en://server-" + std::to_string(i) + ".example.com</serverAddress></ServerArray>"
                 "<clientConnectionReconnectTimeout>3600</clientConnectionReconnectTimeout></mgmtconnection>\n";
    }
    reply += "<serial><baud>115200</baud><databits>8</databits><parity>none</parity><stopbits>1</stopbits>"
             "<flowcontrol>none</flowcontrol></serial>\n";
    for (const char* group : {"telnet_server", "tcp_server", "ssh_server", "securesocket"})
        reply += std::string("<") + group + "><state>on</state><port>2001</port><keepalive>off</keepalive></" + group + ">\n";
    reply += "<udp_server><state>off</state><port>2101</port></udp_server>\n";
    reply += "<mgmtconnection index=\"3\"><ServerArray index=\"1\"><serverAddress>lka.example.com</serverAddress>"
             "</ServerArray></mgmtconnection>\n";
    reply += "</query_setting>\n</rci_reply>";
    return reply;
}

void SetSize(benchmark::State& state, std::size_t bytes)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.SetComplexityN(static_cast<int64_t>(bytes));
}

void BM_ParseSettings(benchmark::State& state)
{
    const std::string reply = SettingsReplyOfSize(static_cast<std::size_t>(state.range(0)));
    RciDocuments documents;
    for (auto _ : state) {
        documents.ParseSettings(reply);
        benchmark::DoNotOptimize(documents.SettingsRoot());
    }
    if (documents.SettingsRoot() == nullptr)
        state.SkipWithError(documents.LastParseError().c_str());
    SetSize(state, reply.size());
}

void BM_ResolvePagePaths(benchmark::State& state)
{
    const std::string reply = SettingsReplyOfSize(static_cast<std::size_t>(state.range(0)));
    RciDocuments documents;
    documents.ParseSettings(reply);
    const BindingTable table = SerialPageTable();
    int resolved = 0;
    for (auto _ : state) {
        resolved = 0;
        for (const BindingRecord& record : table)
            resolved += ResolvePath(documents.SettingsRoot(), record.path) != nullptr;
        benchmark::DoNotOptimize(resolved);
    }
    if (resolved != static_cast<int>(table.size()))
        state.SkipWithError("a page path did not resolve");
    SetSize(state, reply.size());
}

void BM_PreparePayload(benchmark::State& state)
{
    const std::string reply = SettingsReplyOfSize(static_cast<std::size_t>(state.range(0)));
    RciDocuments documents;
    documents.ParseSettings(reply);
    std::size_t payloadSize = 0;
    for (auto _ : state) {
        const auto payload = PrepareSettingsPayload(documents.SettingsDocument());
        payloadSize = payload ? payload->size() : 0;
        benchmark::DoNotOptimize(payloadSize);
    }
    state.counters["payload_bytes"] = static_cast<double>(payloadSize);
    SetSize(state, reply.size());
}

// One whole apply as the user interface thread does it, without the device: load the
// page, store it, prepare the payload, parse the read-back.
void BM_ApplyRoundTrip(benchmark::State& state)
{
    const std::string reply = SettingsReplyOfSize(static_cast<std::size_t>(state.range(0)));
    RciDocuments documents;
    documents.ParseSettings(reply);
    const BindingTable table = SerialPageTable();
    FieldStore fields;
    for (auto _ : state) {
        LoadBindings({}, table, fields, documents.SettingsRoot());
        StoreBindings(table, fields, documents.SettingsRoot());
        const auto payload = PrepareSettingsPayload(documents.SettingsDocument());
        benchmark::DoNotOptimize(payload);
        documents.ParseSettings(reply);
    }
    SetSize(state, reply.size());
}

#define SETTINGS_SIZES ->Arg(100'000)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN)

BENCHMARK(BM_ParseSettings) SETTINGS_SIZES;
BENCHMARK(BM_ResolvePagePaths) SETTINGS_SIZES;
BENCHMARK(BM_PreparePayload) SETTINGS_SIZES;
BENCHMARK(BM_ApplyRoundTrip) SETTINGS_SIZES;

} // namespace

BENCHMARK_MAIN();
