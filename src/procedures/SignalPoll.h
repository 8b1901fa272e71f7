#pragma once

#include "CommandBatch.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tervane {

class DeviceRunner;

// The network registration state of an AT+CREG? answer. Unknown when the modem gave no
// answer or one that does not read as a state.
enum class Registration {
    Unknown,
    NotRegistered, // 0: not registered, not searching
    Home,          // 1: registered, home network
    Searching,     // 2: not registered, searching
    Denied,        // 3: registration denied
    NotKnown,      // 4: the modem says it does not know
    Roaming,       // 5: registered, roaming
};

// One reading of the signal poll. A reading whose quality is unknown (the modem answered
// 99, gave no answer or one that does not read) has `known` false: it is a gap, never a
// level of -113 dBm.
struct SignalReading {
    bool known = false;
    int32_t quality = 99;   // AT+CSQ, 0-31 when known
    long long levelDbm = 0; // SignalLevelDbm(quality) when known
    int lampsShown = 5;
    int lampsLit = 0; // 0 when unknown
    Registration registration = Registration::Unknown;
};

// The two commands of one poll: AT+CSQ, then AT+CREG?.
CommandBatch SignalPollBatch();

// Reads a finished poll batch; `product` chooses three or five lamps as on the Device
// Information page.
SignalReading ReadSignalPoll(const CommandBatch& batch, std::string_view product);

// Runs one poll through `runner` and reads it.
SignalReading PollSignal(DeviceRunner& runner, std::string_view product);

// The quality of an AT+CSQ answer: the number after "+CSQ:" and before its ",", when it is
// 0-31. -1 for 99 and for anything else.
int32_t KnownQualityFromCsq(std::string_view response);
// The state of the last "+CREG: n,stat" line of an answer (an unsolicited "+CREG: stat"
// line with one field is not the answer and is passed over).
Registration RegistrationFromCreg(std::string_view response);

// The registration as a word: "unknown", "not registered", "home", "searching", "denied",
// "not known", "roaming".
std::string_view RegistrationText(Registration registration);

// The session's CSV columns and one row: time (UTC, ISO 8601 with milliseconds), CSQ, dBm,
// bars, registration. An unknown quality leaves CSQ, dBm and bars empty.
std::string SignalCsvHeader();
std::string SignalCsvRow(const SignalReading& reading, std::chrono::system_clock::time_point time);

// A poll's fixed cadence: reading n is due at start + n * interval, whatever the readings
// before it took, so the readings do not drift. A reading that is late is not made up: the
// next due time is the first one still ahead of `now`.
class SignalCadence {
public:
    using Clock = std::chrono::steady_clock;
    SignalCadence(Clock::time_point start, std::chrono::milliseconds interval);
    // The time the next reading is due, after `now`.
    Clock::time_point NextDue(Clock::time_point now);
    long long Index() const { return m_index; }

private:
    Clock::time_point m_start;
    std::chrono::milliseconds m_interval;
    long long m_index = 0;
};

// A watch session: every reading with its time, the peak since the last reset and the
// readings of the last `window` for the strip. Unknown readings stay in as gaps; they never
// set the peak.
class SignalSession {
public:
    struct Entry {
        std::chrono::system_clock::time_point time;
        SignalReading reading;
    };

    explicit SignalSession(std::chrono::seconds window = std::chrono::minutes(5), std::size_t keep = 100000);

    void Add(std::chrono::system_clock::time_point time, const SignalReading& reading);
    // Forgets the peak; the readings stay.
    void ResetPeak() { m_peak.reset(); }
    // The best known quality since the last reset, if any.
    std::optional<int32_t> Peak() const { return m_peak; }
    const std::vector<Entry>& Entries() const { return m_entries; }
    // The readings no older than the window before the newest.
    std::vector<Entry> Recent() const;
    // The whole session as CSV: the header line, then one line per reading.
    std::string Csv() const;

private:
    std::chrono::seconds m_window;
    std::size_t m_keep;
    std::vector<Entry> m_entries;
    std::optional<int32_t> m_peak;
};

} // namespace tervane
