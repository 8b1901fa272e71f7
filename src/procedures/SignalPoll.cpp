#include "SignalPoll.h"

#include "BatchWorker.h"
#include "DeviceQuery.h"
#include "DeviceRunner.h"
#include "SerialLink.h"
#include "SystemCalls.h"

#include <cstdio>
#include <ctime>

namespace tervane {

namespace {

// The lines of an answer, split at CR and LF, empty ones skipped.
template <typename Visit> void ForEachLine(std::string_view text, Visit visit)
{
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > begin)
            visit(text.substr(begin, end - begin));
        begin = end + 1;
    }
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// A small decimal number of at most three digits; -1 for anything else.
int SmallNumber(std::string_view text)
{
    text = Trim(text);
    if (text.empty() || text.size() > 3)
        return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

CommandBatch SignalPollBatch()
{
    CommandBatch batch;
    batch.AddTail(CommandRow("AT+CSQ\r\n", "Reading receive signal strength (RSSI)...", 1000));
    batch.AddTail(CommandRow("AT+CREG?\r\n", "Reading network registration status (CREG)...", 1000));
    return batch;
}

int32_t KnownQualityFromCsq(std::string_view response)
{
    constexpr std::string_view kPrefix = "+CSQ:";
    int32_t quality = -1;
    ForEachLine(response, [&](std::string_view line) {
        if (!line.starts_with(kPrefix))
            return;
        line.remove_prefix(kPrefix.size());
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos)
            return;
        const int value = SmallNumber(line.substr(0, comma));
        quality = value >= 0 && value <= 31 ? value : -1;
    });
    return quality;
}

Registration RegistrationFromCreg(std::string_view response)
{
    constexpr std::string_view kPrefix = "+CREG:";
    Registration registration = Registration::Unknown;
    ForEachLine(response, [&](std::string_view line) {
        if (!line.starts_with(kPrefix))
            return;
        line.remove_prefix(kPrefix.size());
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos)
            return; // an unsolicited report, not the answer
        std::string_view stat = line.substr(comma + 1);
        if (const std::size_t next = stat.find(','); next != std::string_view::npos)
            stat = stat.substr(0, next);
        switch (SmallNumber(stat)) {
        case 0:
            registration = Registration::NotRegistered;
            break;
        case 1:
            registration = Registration::Home;
            break;
        case 2:
            registration = Registration::Searching;
            break;
        case 3:
            registration = Registration::Denied;
            break;
        case 4:
            registration = Registration::NotKnown;
            break;
        case 5:
            registration = Registration::Roaming;
            break;
        default:
            registration = Registration::Unknown;
            break;
        }
    });
    return registration;
}

SignalReading ReadSignalPoll(const CommandBatch& batch, std::string_view product)
{
    SignalReading reading;
    reading.lampsShown = SignalLampsFor(0, product).shown;
    for (const USBCommand& row : batch) {
        reading.answered = reading.answered || DeviceResponded(row);
        const std::string_view command = row.command;
        if (command.find("AT+CSQ") != std::string_view::npos) {
            const int32_t quality = row.failed == 1 ? -1 : KnownQualityFromCsq(row.response);
            if (quality >= 0) {
                reading.known = true;
                reading.quality = quality;
                reading.levelDbm = SignalLevelDbm(quality);
                reading.lampsLit = SignalLampsFor(quality, product).lit;
            }
        } else if (command.find("AT+CREG") != std::string_view::npos) {
            reading.registration = row.failed == 1 ? Registration::Unknown : RegistrationFromCreg(row.response);
        }
    }
    return reading;
}

SignalReading PollSignal(DeviceRunner& runner, std::string_view product)
{
    CommandBatch batch = SignalPollBatch();
    runner.RunBatch(batch);
    return ReadSignalPoll(batch, product);
}

SignalReading PollSignalInTurn(SerialLink& link, std::string_view product)
{
    CommandBatch batch = SignalPollBatch();
    for (int i = 0; i < batch.GetCount(); ++i) {
        USBCommand& row = *batch.GetAt(i);
        row.failed = 1;
        if (!link.CheckPresent() && !link.OpenPort())
            break;
        // One row at a time, so that a port that closed under AT+CSQ is not written to
        // again for the whole reopen bound.
        CommandBatch one;
        one.AddTail(row);
        RunBatchInTurn(link, one, nullptr);
        row = *one.GetAt(0);
    }
    return ReadSignalPoll(batch, product);
}

std::string_view RegistrationText(Registration registration)
{
    switch (registration) {
    case Registration::NotRegistered:
        return "not registered";
    case Registration::Home:
        return "home";
    case Registration::Searching:
        return "searching";
    case Registration::Denied:
        return "denied";
    case Registration::NotKnown:
        return "not known";
    case Registration::Roaming:
        return "roaming";
    case Registration::Unknown:
        break;
    }
    return "unknown";
}

std::string SignalCsvHeader()
{
    return "time,csq,dbm,bars,registration";
}

std::string SignalCsvRow(const SignalReading& reading, std::chrono::system_clock::time_point time)
{
    std::string row = SignalTimeText(time);
    row += ',';
    if (reading.known) {
        row += std::to_string(reading.quality) + ',' + std::to_string(reading.levelDbm) + ',' +
            std::to_string(reading.lampsLit);
    } else {
        row += ",,";
    }
    row += ',';
    row += RegistrationText(reading.registration);
    return row;
}

std::string SignalTimeText(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const auto since = time.time_since_epoch();
    const auto secs = floor<seconds>(since);
    const long long millis = duration_cast<milliseconds>(since - secs).count();
    const std::time_t whole = static_cast<std::time_t>(secs.count());
    std::tm parts {};
    UtcParts(whole, parts);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", parts.tm_year + 1900, parts.tm_mon + 1,
        parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, millis);
    return stamp;
}

SignalCadence::SignalCadence(Clock::time_point start, std::chrono::milliseconds interval)
    : m_start(start)
    , m_interval(interval.count() > 0 ? interval : std::chrono::milliseconds(1))
{
}

SignalCadence::Clock::time_point SignalCadence::NextDue(Clock::time_point now)
{
    ++m_index;
    Clock::time_point due = m_start + m_index * m_interval;
    if (due <= now) {
        // Late: skip the due times already past instead of firing them in a burst.
        const long long behind = (now - m_start) / m_interval;
        m_index = behind + 1;
        due = m_start + m_index * m_interval;
    }
    return due;
}

SignalSession::SignalSession(std::chrono::seconds window, std::size_t keep)
    : m_window(window)
    , m_keep(keep == 0 ? 1 : keep)
{
}

void SignalSession::Add(std::chrono::system_clock::time_point time, const SignalReading& reading)
{
    if (m_entries.size() >= m_keep)
        m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<std::ptrdiff_t>(m_keep / 2 + 1));
    m_entries.push_back(Entry {time, reading});
    if (reading.known && (!m_peak || reading.quality > *m_peak))
        m_peak = reading.quality;
}

std::vector<SignalSession::Entry> SignalSession::Recent() const
{
    if (m_entries.empty())
        return {};
    const auto from = m_entries.back().time - m_window;
    auto first = m_entries.begin();
    while (first != m_entries.end() && first->time < from)
        ++first;
    return {first, m_entries.end()};
}

std::string SignalSession::Csv() const
{
    std::string csv = SignalCsvHeader() + "\n";
    for (const Entry& entry : m_entries)
        csv += SignalCsvRow(entry.reading, entry.time) + "\n";
    return csv;
}

} // namespace tervane
