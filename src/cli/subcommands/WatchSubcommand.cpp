// watch: the signal poll of the dashboard's signal view, one line per reading, on one
// gateway or several at once.

#include "AttachedGateways.h"
#include "CliSession.h"
#include "CommandText.h"
#include "DeviceConnection.h"
#include "DeviceQuery.h"
#include "DeviceRunner.h"
#include "FleetRun.h"
#include "JsonWriter.h"
#include "RciDocuments.h"
#include "SettingPath.h"
#include "SignalPoller.h"
#include "StopRequest.h"
#include "SubcommandHandlers.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>

namespace tervane {

namespace {

// One gateway followed: its link (its own, or the session's) and its poller.
struct Watched {
    std::string port;
    std::unique_ptr<DeviceConnection> own;
    SerialLink* link = nullptr;
    std::string product;
    std::optional<int32_t> peak;
    std::optional<SignalReading> last;
    std::unique_ptr<SignalPoller> poller;
};

struct Arrival {
    std::size_t gateway;
    SignalPollEvent event;
};

// The readings of every gateway's polling thread, handed to the thread that writes them.
class Arrivals {
public:
    void Push(Arrival arrival)
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(arrival));
        m_changed.notify_all();
    }
    // The next arrival, or none after `wait` without one.
    std::optional<Arrival> Pop(std::chrono::milliseconds wait)
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, wait, [this] { return !m_queue.empty(); }))
            return std::nullopt;
        Arrival arrival = std::move(m_queue.front());
        m_queue.pop_front();
        return arrival;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Arrival> m_queue;
};

// The product names the lamps: one state query before the polling starts. A device that
// does not answer it is counted with five lamps.
std::string ReadProduct(SerialLink& link)
{
    CommandBatch batch;
    const CommandBatch query = DeviceQueryBatch();
    for (const USBCommand& row : query)
        if (row.command.find("<query_state/>") != std::string::npos)
            batch.AddTail(row);
    DirectRunner runner(link);
    runner.RunBatch(batch);
    if (batch.GetCount() == 0 || batch.GetAt(0)->failed != 0)
        return {};
    RciDocuments documents;
    documents.ParseState(batch.GetAt(0)->response);
    std::string product = SettingText(documents.StateRoot(), "device_info/model").value_or("");
    documents.FreeAll();
    return product;
}

std::string Bar(const SignalReading& reading)
{
    std::string bar = "[";
    for (int k = 0; k < reading.lampsShown; ++k)
        bar += reading.known && k < reading.lampsLit ? '#' : '.';
    return bar + "]";
}

std::string Level(const SignalReading& reading)
{
    return reading.known ? std::to_string(reading.levelDbm) + " dBm" : std::string("unknown");
}

std::string TextLine(const Watched& gateway, const SignalPollEvent& event, bool several)
{
    std::string line = SignalTimeText(event.time);
    if (several)
        line += "  " + EscapeForDisplay(gateway.port);
    const SignalReading& reading = event.reading;
    if (!reading.answered)
        return line + "  waiting for the device";
    line += reading.known ? "  CSQ " + std::to_string(reading.quality) : std::string("  CSQ unknown");
    if (reading.known)
        line += "  " + Level(reading);
    line += "  bars " + std::to_string(reading.known ? reading.lampsLit : 0) + "/" + std::to_string(reading.lampsShown);
    line += "  " + std::string(RegistrationText(reading.registration));
    return line;
}

std::string JsonLine(const Watched& gateway, const SignalPollEvent& event)
{
    const SignalReading& reading = event.reading;
    JsonValue line = JsonValue::Object();
    line.Set("time", SignalTimeText(event.time));
    line.Set("port", gateway.port);
    line.Set("answered", reading.answered);
    line.Set("csq", reading.known ? JsonValue(static_cast<int>(reading.quality)) : JsonValue());
    line.Set("dbm", reading.known ? JsonValue(reading.levelDbm) : JsonValue());
    line.Set("bars", reading.known ? JsonValue(reading.lampsLit) : JsonValue());
    line.Set("barsShown", reading.lampsShown);
    line.Set("registration", std::string(RegistrationText(reading.registration)));
    return WriteJsonLine(line);
}

// The meter of every gateway on one line: bar, level and peak.
std::string MeterLine(const std::vector<std::unique_ptr<Watched>>& gateways)
{
    std::string line;
    for (const auto& gateway : gateways) {
        if (!line.empty())
            line += "  |  ";
        if (gateways.size() > 1)
            line += EscapeForDisplay(gateway->port) + " ";
        if (!gateway->last) {
            line += "...";
            continue;
        }
        const SignalReading& reading = *gateway->last;
        line += reading.answered ? Bar(reading) + " " + Level(reading) : std::string("waiting for the device");
        line += "  peak " + (gateway->peak ? std::to_string(SignalLevelDbm(*gateway->peak)) + " dBm" : "none");
    }
    return line;
}

} // namespace

int RunWatch(CliSession& session, const Operands& /*operands*/)
{
    const CliOptions& options = session.Options();
    std::vector<std::unique_ptr<Watched>> gateways;
    if (options.all || options.ports.size() > 1) {
        std::vector<std::string> ports = options.ports;
        if (options.all) {
            for (const auto& gateway :
                ListAttachedGateways(session.Environment().sysRoot, session.Environment().devDir))
                ports.push_back(gateway.port);
        }
        if (ports.empty())
            return session.Fail(kExitNoDevice, "no Skellin Q7 found; connect them with their USB cables");
        for (const auto& port : ports) {
            CliOptions own = options;
            own.all = false;
            own.port = port;
            own.ports = {port};
            own.logPath = GatewayLogPath(options.logPath, port);
            auto gateway = std::make_unique<Watched>();
            gateway->port = port;
            gateway->own = std::make_unique<DeviceConnection>(*session.Environment().clock);
            std::string logFailure;
            if (!gateway->own->OpenLog(own.logPath, logFailure))
                return session.Fail(kExitUsage, logFailure);
            if (gateway->own->Open(own, session.Environment().sysRoot, session.Environment().devDir) !=
                ConnectFailure::None) {
                session.Fail(kExitNoDevice, port + ": the port would not open");
                continue;
            }
            gateway->link = &gateway->own->Link();
            gateways.push_back(std::move(gateway));
        }
        if (gateways.empty())
            return kExitNoDevice;
    } else {
        if (const auto status = session.Connect())
            return *status;
        auto gateway = std::make_unique<Watched>();
        gateway->link = &session.Connection().Link();
        gateway->port = gateway->link->PortName();
        gateways.push_back(std::move(gateway));
    }

    for (auto& gateway : gateways)
        gateway->product = ReadProduct(*gateway->link);

    const bool several = gateways.size() > 1;
    const bool meter = !session.Json() && session.Environment().outputIsTerminal;
    std::ostream& out = *session.Environment().out;
    // The readings are the output: with --json one object per line, no closing document.
    if (session.Json())
        session.SkipDocument();

    ClearStopRequest();
    const StopOnInterrupt interrupt;
    Arrivals arrivals;
    const auto interval = std::chrono::milliseconds(options.watchIntervalMs);
    for (std::size_t i = 0; i < gateways.size(); ++i) {
        gateways[i]->poller =
            std::make_unique<SignalPoller>(*gateways[i]->link, [&arrivals, i](const SignalPollEvent& event) {
                arrivals.Push({i, event});
            });
        gateways[i]->poller->Start(gateways[i]->product, interval);
    }

    // --count counts the readings of each gateway; a poll held off is no reading.
    std::vector<long long> counts(gateways.size(), 0);
    const auto allCounted = [&] {
        if (options.watchCount <= 0)
            return false;
        for (long long count : counts)
            if (count < options.watchCount)
                return false;
        return true;
    };
    while (!allCounted()) {
        // Ctrl-C is noticed within a fifth of a second; readings that had already arrived
        // are still shown before the watch ends.
        const bool stopping = StopRequested();
        const std::optional<Arrival> arrival =
            arrivals.Pop(stopping ? std::chrono::milliseconds(0) : std::chrono::milliseconds(200));
        if (!arrival && stopping)
            break;
        if (!arrival || arrival->event.kind == SignalPollEvent::Kind::Held)
            continue;
        Watched& gateway = *gateways[arrival->gateway];
        long long& count = counts[arrival->gateway];
        if (options.watchCount > 0 && count >= options.watchCount)
            continue;
        ++count;
        const SignalReading& reading = arrival->event.reading;
        gateway.last = reading;
        if (reading.known && (!gateway.peak || reading.quality > *gateway.peak))
            gateway.peak = reading.quality;
        if (session.Json())
            out << JsonLine(gateway, arrival->event) << "\n" << std::flush;
        else if (meter)
            out << "\r" << MeterLine(gateways) << "\x1b[K" << std::flush;
        else
            out << TextLine(gateway, arrival->event, several) << "\n" << std::flush;
    }
    for (auto& gateway : gateways)
        gateway->poller->Stop();
    if (meter)
        out << "\n" << std::flush;
    return kExitDone;
}

} // namespace tervane
