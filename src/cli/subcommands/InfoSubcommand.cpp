// info: the device query of the Device Information page, shown as text or JSON.

#include "CliDeviceQuery.h"
#include "CliSession.h"
#include "CommandText.h"
#include "ProcedureSteps.h"
#include "RciDocuments.h"
#include "SettingPath.h"
#include "SubcommandHandlers.h"

#include <iomanip>
#include <optional>
#include <ostream>

namespace tervane {

namespace {

// Every value but the port comes from the device: its control characters are shown
// escaped, so that a device cannot drive the terminal.
void Line(std::ostream& out, const char* label, const std::string& value)
{
    out << std::left << std::setw(22) << (std::string(label) + ":") << EscapeForDisplay(value) << "\n";
}

} // namespace

int RunInfo(CliSession& session, const Operands& /*operands*/)
{
    DeviceFacts facts;
    DeviceQueryOutcome query;
    if (const auto status = ReadDevice(session, facts, query))
        return *status;

    // The fields the Device Information page binds from the state document.
    const RciDocuments& documents = session.Documents();
    const xmlNodePtr state = documents.StateRoot();
    // Identity texts are their first line, bounded, whatever the document holds.
    const auto identity = [state](const char* path) -> std::optional<std::string> {
        const std::optional<std::string> text = SettingText(state, path);
        return text ? std::optional<std::string>(IdentityText(*text)) : std::nullopt;
    };
    const std::optional<std::string> model = identity("device_info/model");
    const std::optional<std::string> firmware = identity("device_info/firmware");
    const std::optional<std::string> iccid = identity("mobile_stats/iccid");
    const std::optional<std::string> mobileIp = SettingText(state, "ppp_stats/ip_address");

    // No answer to AT+CSQ (or ERROR) measured nothing: unknown, as the modem's own 99 is.
    const bool known = query.signalMeasured && facts.signalQuality != kUnknownSignalQuality;
    const SignalLamps lamps = SignalLampsFor(known ? facts.signalQuality : 0, model.value_or(""));
    const long long dbm = SignalLevelDbm(facts.signalQuality);
    const bool stateRead = state != nullptr;
    const bool linkUp = LinkUp(stateRead, mobileIp.value_or(""));

    std::ostream& out = session.Out();
    Line(out, "Port", session.PortName());
    Line(out, "Product", model.value_or(""));
    Line(out, "Firmware Version", firmware.value_or(""));
    Line(out, "Serial Number (IMEI)", facts.imei);
    Line(out, "Phone Number", facts.phoneNumber);
    Line(out, "ICCID", iccid.value_or(""));
    Line(out, "IMSI", facts.imsi);
    Line(out, "Modem Type", facts.modemType);
    Line(out, "Modem Revision", facts.modemRevision);
    Line(out, "Signal Strength",
        (known ? std::to_string(facts.signalQuality) + " (" + std::to_string(dbm) + " dBm)" : std::string("unknown"))
            + ", " + std::to_string(lamps.lit) + " of " + std::to_string(lamps.shown) + " bars");
    Line(out, "Mobile IP Address", mobileIp.value_or("") + (linkUp ? " (link up)" : " (no link)"));
    Line(out, "Ravlo Radio", documents.RadioPageFlag() ? "configured" : "not configured");

    // What the state document does not hold is null, not an empty text.
    const auto fromState = [](const std::optional<std::string>& text) { return text ? JsonValue(*text) : JsonValue(); };
    JsonValue& result = session.Result();
    // "product" is the name the other subcommands report (device_info/product); the page's
    // Product field shows the model.
    result.Set("product", fromState(identity("device_info/product")));
    result.Set("model", fromState(model));
    result.Set("firmwareVersion", fromState(firmware));
    result.Set("imei", facts.imei);
    result.Set("phoneNumber", facts.phoneNumber);
    result.Set("iccid", fromState(iccid));
    result.Set("imsi", facts.imsi);
    result.Set("modemType", facts.modemType);
    result.Set("modemRevision", facts.modemRevision);
    JsonValue signal = JsonValue::Object();
    signal.Set("quality", static_cast<int>(known ? facts.signalQuality : kUnknownSignalQuality));
    signal.Set("dbm", known ? JsonValue(dbm) : JsonValue());
    signal.Set("bars", lamps.lit);
    signal.Set("barsShown", lamps.shown);
    result.Set("signal", std::move(signal));
    result.Set("mobileIpAddress", fromState(mobileIp));
    result.Set("linkUp", stateRead ? JsonValue(linkUp) : JsonValue());
    result.Set("radioConfigured", documents.RadioPageFlag());
    result.Set("stateRead", stateRead);
    if (!stateRead)
        return session.Fail(kExitRefused, "the device's state could not be read");
    return kExitDone;
}

} // namespace tervane
