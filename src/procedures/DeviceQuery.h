#pragma once

#include "CommandBatch.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tervane {

class DeviceRunner;
class RciDocuments;

// What the device query learns from the modem's own answers; the rest of the first page
// comes from the state document through its binding table.
struct DeviceFacts {
    std::string modemType;      // AT+CGMI
    std::string imei;           // AT+CGSN
    std::string imsi;           // AT+CIMI, or "No SIM Inserted"
    std::string modemRevision;  // AT+CGMR
    std::string phoneNumber;    // AT+CNUM, or "N/A"
    int32_t signalQuality = 0;  // AT+CSQ; 99 when the modem cannot tell
};

// The eleven commands of the device query: the modem facts, then the settings, state and
// radio settings queries.
CommandBatch DeviceQueryBatch();

// Reads a finished device query batch, row by row in order, failed rows included: the modem
// answers into `facts`, the three RCI answers into `documents`. False, at once, when the
// settings or the state answer is empty; the rows after it are not read then.
bool WalkDeviceQuery(const CommandBatch& batch, DeviceFacts& facts, RciDocuments& documents);

// What a device query found besides the facts and the documents.
struct DeviceQueryOutcome {
    // The device gave its settings and its state (WalkDeviceQuery's answer).
    bool documentsRead = false;
    // The device answered at least one command: one that answered nothing is as good as none.
    bool anyAnswer = false;
    // The settings query got an answer, whatever the state query got.
    bool settingsAnswered = false;
    // AT+CSQ was answered without error: the signal quality was measured (99 still means
    // the modem could not tell). Otherwise it stands unknown.
    bool signalMeasured = false;
    // The first modem identity command (AT+CGMI, AT+CGSN, AT+CGMR, AT+CIMI, AT+CNUM, in
    // the batch's order) whose answer never ended, without its line end; empty when each
    // ended. An endless or echoing device is at fault then: the answer is not its identity.
    std::string unendedIdentity;

    explicit operator bool() const { return documentsRead; }
};

// Runs the device query through `runner` and walks its answers. Only fields whose rows were
// read change. False when the device gave no settings or no state.
DeviceQueryOutcome QueryDevice(DeviceFacts& facts, RciDocuments& documents, DeviceRunner& runner);

// The phone number in an AT+CNUM answer: the second field of the first "+CNUM:" line,
// without quotes.
std::string PhoneNumberFromCnum(std::string_view response);
// The IMSI from an AT+CIMI answer: the answer without line ends.
std::string ImsiFromCimi(std::string_view response);
// The signal quality from an AT+CSQ answer: the number before the first ",", 0 when none.
int32_t SignalQualityFromCsq(std::string_view response);

inline constexpr const char* kPhoneNumberUnavailable = "N/A";
inline constexpr const char* kNoSimInserted = "No SIM Inserted";

// The modem reports 99 when it cannot tell the signal quality.
inline constexpr int32_t kUnknownSignalQuality = 99;

// How many signal lamps a product shows and how many of them are lit.
struct SignalLamps {
    int shown = 5;
    int lit = 0;
};

// The signal level in dBm for a signal quality: 2 * quality - 113. Widened so that no
// reported number can overflow it.
constexpr long long SignalLevelDbm(int32_t signalQuality)
{
    return 2LL * signalQuality - 113;
}

// Lamps for a signal quality: products whose name holds "Q7R" show three lamps, the others
// five; each threshold the level (SignalLevelDbm) is strictly above lights one more.
// Call with 99 already replaced by 0.
SignalLamps SignalLampsFor(int32_t signalQuality, std::string_view product);

// The link lamp is lit unless the mobile IP address starts with "0.0.0.0".
bool LinkLampLit(std::string_view mobileIpAddress);
// Whether the link shows as up: without a state document nothing shows that it is, whatever
// the (then empty) mobile IP address.
bool LinkUp(bool stateRead, std::string_view mobileIpAddress);

} // namespace tervane
