#include "DeviceQuery.h"

#include "BindingTable.h"
#include "DeviceRunner.h"
#include "RciDocuments.h"
#include "RciRequests.h"

#include <array>
#include <span>

namespace tervane {

namespace {

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

void EraseAll(std::string& text, std::string_view part)
{
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at))
        text.erase(at, part.size());
}

// The modem's identity commands: their answers are shown as the device's identity.
constexpr std::array<std::string_view, 5> kIdentityCommands {"AT+CGMI", "AT+CGSN", "AT+CGMR", "AT+CIMI", "AT+CNUM"};

constexpr std::array kFiveLampThresholds{-109, -102, -93, -87, -78};
constexpr std::array kThreeLampThresholds{-109, -94, -78};

int CountAbove(int level, std::span<const int> thresholds)
{
    int count = 0;
    for (int threshold : thresholds)
        if (level > threshold)
            ++count;
    return count;
}

} // namespace

CommandBatch DeviceQueryBatch()
{
    CommandBatch batch;
    batch.AddTail(CommandRow("AT\r\n\r\n", "Detecting modem...", 1000));
    batch.AddTail(CommandRow("AT+CGMI\r\n", "Identifying modem...", 1000));
    batch.AddTail(CommandRow("AT+CGSN\r\n", "Reading serial number (IMEI)...", 1000));
    batch.AddTail(CommandRow("AT+CGMR\r\n", "Reading modem revision (CMGR)...", 1000));
    batch.AddTail(CommandRow("AT+CIMI\r\n", "Reading SIM serial number (IMSI)...", 1000));
    batch.AddTail(CommandRow("AT+CSQ\r\n", "Reading receive signal strength (RSSI)...", 1000));
    batch.AddTail(CommandRow("AT+CNUM\r\n", "Reading modem phone number (CNUM)...", 1000));
    batch.AddTail(CommandRow("AT+CREG?\r\n", "Reading network registration status (CREG)...", 1000));
    batch.AddTail(CommandRow(std::string(kQuerySettingsRequest), "Reading device settings...", 5000));
    batch.AddTail(CommandRow(std::string(kQueryStateRequest), "Reading device status...", 5000));
    batch.AddTail(CommandRow(std::string(kQueryRadioSettingsRequest), "Reading Ravlo settings...", 5000));
    return batch;
}

std::string PhoneNumberFromCnum(std::string_view response)
{
    std::string text(response);
    EraseAll(text, "+CNUM:");
    if (const std::size_t comma = text.find(','); comma != std::string::npos)
        text.erase(0, comma + 1);
    if (const std::size_t comma = text.find(','); comma != std::string::npos)
        text.erase(comma);
    EraseAll(text, "\"");
    return text;
}

std::string ImsiFromCimi(std::string_view response)
{
    std::string text(response);
    EraseAll(text, "\n");
    EraseAll(text, "\r");
    return text;
}

int32_t SignalQualityFromCsq(std::string_view response)
{
    std::string text(response);
    EraseAll(text, "+CSQ: ");
    if (const std::size_t comma = text.find(','); comma != std::string::npos)
        text.erase(comma);
    return ReadDecimal(text);
}

bool WalkDeviceQuery(const CommandBatch& batch, DeviceFacts& facts, RciDocuments& documents)
{
    for (const USBCommand& row : batch) {
        const std::string_view command = row.command;
        const std::string& response = row.response;
        if (Contains(command, "AT+CGMI")) {
            facts.modemType = response;
        } else if (Contains(command, "AT+CGSN")) {
            facts.imei = response;
        } else if (Contains(command, "AT+CNUM")) {
            facts.phoneNumber = row.failed == 1 ? std::string(kPhoneNumberUnavailable) : PhoneNumberFromCnum(response);
        } else if (Contains(command, "AT+CIMI")) {
            facts.imsi = row.failed == 1 ? std::string(kNoSimInserted) : ImsiFromCimi(response);
        } else if (Contains(command, "AT+CSQ")) {
            facts.signalQuality = SignalQualityFromCsq(response);
        } else if (Contains(command, "AT+CREG")) {
            // Registration is asked for the log only; the page does not show it.
        } else if (Contains(command, "AT+CGMR")) {
            facts.modemRevision = response;
        } else if (Contains(command, kQuerySettingsRequest)) {
            if (response.empty())
                return false;
            documents.ParseSettings(response, row.failed == 1);
        } else if (Contains(command, kQueryStateRequest)) {
            if (response.empty())
                return false;
            documents.ParseStateAnswer(response);
        } else if (Contains(command, kQueryRadioSettingsRequest)) {
            documents.ParseRadioSettings(response, row.failed == 1);
        }
    }
    return true;
}

DeviceQueryOutcome QueryDevice(DeviceFacts& facts, RciDocuments& documents, DeviceRunner& runner)
{
    CommandBatch batch = DeviceQueryBatch();
    runner.RunBatch(batch);
    DeviceQueryOutcome outcome;
    outcome.documentsRead = WalkDeviceQuery(batch, facts, documents);
    for (const USBCommand& row : batch) {
        const std::string_view command = row.command;
        outcome.anyAnswer = outcome.anyAnswer || DeviceResponded(row);
        if (Contains(command, kQuerySettingsRequest)) {
            outcome.settingsAnswered = !row.response.empty();
        } else if (Contains(command, "AT+CSQ")) {
            outcome.signalMeasured = !row.response.empty() && row.failed == 0;
        } else if (outcome.unendedIdentity.empty() && row.readEnd == ReadEnd::Unended) {
            for (const std::string_view identity : kIdentityCommands) {
                if (Contains(command, identity))
                    outcome.unendedIdentity = identity;
            }
        }
    }
    return outcome;
}

SignalLamps SignalLampsFor(int32_t signalQuality, std::string_view product)
{
    const long long level = SignalLevelDbm(signalQuality);
    const int clamped = level < -1000 ? -1000 : level > 1000 ? 1000 : static_cast<int>(level);
    SignalLamps lamps;
    if (Contains(product, "Q7R")) {
        lamps.shown = 3;
        lamps.lit = CountAbove(clamped, kThreeLampThresholds);
    } else {
        lamps.shown = 5;
        lamps.lit = CountAbove(clamped, kFiveLampThresholds);
    }
    return lamps;
}

bool LinkLampLit(std::string_view mobileIpAddress)
{
    return mobileIpAddress.substr(0, 7) != "0.0.0.0";
}

bool LinkUp(bool stateRead, std::string_view mobileIpAddress)
{
    return stateRead && LinkLampLit(mobileIpAddress);
}

} // namespace tervane
