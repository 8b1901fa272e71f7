// apply: brings a gateway to what a profile describes, changing only what differs, and
// says what it changed (or, with --check, what it would change).

#include "AttachedGateways.h"
#include "CliDeviceQuery.h"
#include "CliQuestions.h"
#include "CliRunner.h"
#include "CliSession.h"
#include "CommandText.h"
#include "InventoryRecord.h"
#include "LocalFiles.h"
#include "ProcedureSteps.h"
#include "ProfileApply.h"
#include "ProfileReader.h"
#include "ProfileVariables.h"
#include "RciDocuments.h"
#include "SettingPath.h"
#include "SubcommandHandlers.h"

#include <filesystem>
#include <ostream>

namespace tervane {

namespace {

JsonValue ChangesJson(const std::vector<ProfileChange>& changes)
{
    JsonValue array = JsonValue::Array();
    for (const auto& change : changes) {
        JsonValue row = JsonValue::Object();
        row.Set("kind", ChangeKindName(change.kind));
        row.Set("path", change.path);
        row.Set("before", ShownValue(change, change.before));
        row.Set("after", ShownValue(change, change.after));
        array.Append(std::move(row));
    }
    return array;
}

void PrintChanges(CliSession& session, const std::vector<ProfileChange>& changes, std::string_view verb)
{
    std::ostream& out = session.Out();
    for (const auto& change : changes) {
        out << verb << " " << ChangeKindName(change.kind) << " " << EscapeForDisplay(change.path);
        if (session.Options().diff)
            out << ": " << EscapeForDisplay(ShownValue(change, change.before)) << " \u2192 "
                << EscapeForDisplay(ShownValue(change, change.after));
        out << "\n";
    }
}

// The gateway's identity and what the run did to it, for --json and --record.
struct ApplyReport {
    DeviceFacts facts;
    std::string iccid;
    std::string product;
    std::string firmwareBefore;
    std::string firmwareAfter;
    std::string radioFirmware;
    bool changed = false;
    // Changes made, or with --check needed.
    std::size_t changes = 0;
    AttachedGateway usb;
};

// False when the record could not be written (the failure is reported); true when it was or
// none was asked for.
bool Record(CliSession& session, const Profile& profile, const ApplyReport& report, int status)
{
    const std::string& path = session.Options().recordPath;
    if (path.empty())
        return true;
    InventoryRecord record;
    record.time = InventoryTimeNow();
    record.port = session.PortName().empty() ? session.Options().port : session.PortName();
    record.usbSerial = report.usb.serialNumber;
    record.byIdPath = report.usb.byIdPath;
    record.imei = report.facts.imei;
    record.iccid = report.iccid;
    record.imsi = report.facts.imsi;
    record.product = report.product;
    record.firmwareBefore = report.firmwareBefore;
    record.firmwareAfter = report.firmwareAfter;
    record.radioFirmware = report.radioFirmware;
    record.profileDigest = profile.digest;
    record.changed = report.changed;
    record.changes = report.changes;
    record.error = session.FirstFailure();
    switch (status) {
    case kExitDone: record.result = session.Options().check ? "checked" : "done"; break;
    case kExitDrift: record.result = "differs"; break;
    case kExitRefused: record.result = "failed"; break;
    case kExitUsage: record.result = "profile refused"; break;
    default: record.result = "no device"; break;
    }
    std::string failure;
    if (AppendInventoryRecord(path, record, failure))
        return true;
    session.Fail(kExitRefused, failure);
    return false;
}

int Finish(CliSession& session, const Profile& profile, const ApplyReport& report, int status)
{
    JsonValue& json = session.Result();
    json.Set("profile", profile.path);
    json.Set("profileDigest", profile.digest);
    json.Set("imei", report.facts.imei);
    json.Set("iccid", report.iccid);
    json.Set("imsi", report.facts.imsi);
    json.Set("product", report.product);
    json.Set("firmwareVersionBefore", report.firmwareBefore);
    json.Set("firmwareVersion", report.firmwareAfter);
    json.Set("radioFirmwareVersion", report.radioFirmware);
    const bool recorded = Record(session, profile, report, status);
    // A record that could not be written turns a done run into a failed one.
    return status == kExitDone && !recorded ? kExitRefused : status;
}

// The gateway on the session's port as the system lists it: its USB serial number and
// lasting port name. Empty when the port is not among the gateways attached by USB.
AttachedGateway AttachedGatewayOf(CliSession& session)
{
    return FindAttachedGateway(session.PortName(), session.Environment().sysRoot, session.Environment().devDir)
        .value_or(AttachedGateway {});
}

bool AllDigits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The values for ${NAME}: the gateway's own, its row of the table, then --var. False when the
// gateway is to be refused (reported).
bool GatewayVariables(CliSession& session, const VariableTable* table, const ApplyReport& report,
    ProfileVariables& variables)
{
    const auto own = [&variables](const char* name, const std::string& value) {
        if (!value.empty())
            variables[name] = value;
    };
    own("imei", AllDigits(report.facts.imei) ? report.facts.imei : std::string());
    own("iccid", report.iccid);
    own("imsi", AllDigits(report.facts.imsi) ? report.facts.imsi : std::string());
    own("serial", report.usb.serialNumber);
    if (table != nullptr) {
        const ProfileVariables identity = variables;
        std::string problem;
        if (!AddTableRow(*table, identity, variables, problem)) {
            session.Fail(kExitUsage, problem + "; nothing was sent");
            return false;
        }
    }
    for (const auto& pair : session.Options().vars) {
        const std::size_t equals = pair.find('=');
        variables[pair.substr(0, equals)] = pair.substr(equals + 1);
    }
    return true;
}

} // namespace

int RunApply(CliSession& session, const Operands& operands)
{
    const CliOptions& options = session.Options();
    if (!options.recordPath.empty()) {
        if (const std::string why = WhyUnwritable(options.recordPath); !why.empty())
            return session.UsageFailure(why, "apply");
    }
    // "-" is standard input, so a profile can come through a filter (envsubst < t.yaml).
    const ProfileRead read = operands[0] == "-" ? ReadProfileStream(*session.Environment().in, "(standard input)")
                                                : ReadProfile(operands[0]);
    if (!read.Good()) {
        for (const auto& problem : read.problems)
            session.Fail(kExitUsage, problem);
        return session.UsageFailure("the profile was refused; nothing was sent", "apply");
    }
    for (const auto& pair : options.vars) {
        if (!IsVariableName(pair.substr(0, pair.find('='))))
            return session.UsageFailure("--var " + pair + ": '" + pair.substr(0, pair.find('=')) +
                    "' cannot be a variable's name",
                "apply");
    }
    VariableTableRead table;
    if (!options.varsPath.empty()) {
        table = ReadVariableTable(options.varsPath);
        if (!table.Good()) {
            for (const auto& problem : table.problems)
                session.Fail(kExitUsage, problem);
            return session.UsageFailure("the table of values was refused; nothing was sent", "apply");
        }
    }
    Profile profile = read.profile;
    JsonValue& json = session.Result();
    json.Set("check", options.check);
    json.Set("changed", false);
    json.Set("changes", JsonValue::Array());
    json.Set("failures", JsonValue::Array());

    ApplyReport report;
    const auto status = ReadDevice(session, report.facts);
    report.usb = AttachedGatewayOf(session);
    if (status)
        return Finish(session, profile, report, *status);
    RciDocuments& documents = session.Documents();
    report.iccid = IdentityText(SettingText(documents.StateRoot(), "mobile_stats/iccid").value_or(""));
    report.product = IdentityText(SettingText(documents.StateRoot(), "device_info/product").value_or(""));

    // ${NAME} in the profile's values, for this gateway; refused before anything is sent.
    ProfileVariables variables;
    if (!GatewayVariables(session, options.varsPath.empty() ? nullptr : &table.table, report, variables))
        return Finish(session, profile, report, kExitUsage);
    if (const auto problems = SubstituteVariables(profile, variables); !problems.empty()) {
        for (const auto& problem : problems)
            session.Fail(kExitUsage, problem);
        session.Fail(kExitUsage,
            "the profile's values for the device on " + session.PortName() + " are not all known; nothing was sent");
        return Finish(session, profile, report, kExitUsage);
    }

    const ProfilePlan plan = PlanProfile(profile, documents, session.Runner());
    report.firmwareBefore = IdentityText(plan.firmwareVersion);
    report.firmwareAfter = report.firmwareBefore;
    report.radioFirmware = IdentityText(plan.radioFirmwareVersion);
    if (!plan.problems.empty()) {
        for (const auto& problem : plan.problems)
            session.Fail(kExitUsage, problem);
        session.Fail(kExitUsage, "the profile does not fit the device on " + session.PortName() + "; nothing was sent");
        return Finish(session, profile, report, kExitUsage);
    }
    if (!plan.failures.empty()) {
        JsonValue failures = JsonValue::Array();
        for (const auto& failure : plan.failures) {
            session.Fail(kExitRefused, failure + "; nothing was sent");
            failures.Append(failure);
        }
        json.Set("failures", std::move(failures));
        return Finish(session, profile, report, kExitRefused);
    }

    json.Set("changes", ChangesJson(plan.changes));
    if (plan.changes.empty()) {
        session.Out() << "Nothing to change: the device on " << session.PortName() << " holds the profile.\n";
        return Finish(session, profile, report, kExitDone);
    }
    if (options.check) {
        PrintChanges(session, plan.changes, "would change");
        session.Out() << plan.changes.size() << " change(s) needed; nothing was sent (--check).\n";
        report.changes = plan.changes.size();
        // Its own status, so that cron and CI can tell a gateway that drifted from a failure.
        return Finish(session, profile, report, kExitDrift);
    }

    CliQuestions questions(session, options.retries);
    const ProfileApplyResult result = ApplyProfilePlan(profile, plan, documents, session.Runner(), questions);
    report.changed = !result.applied.empty();
    report.changes = result.applied.size();
    report.firmwareAfter = IdentityText(result.firmwareVersion);
    report.radioFirmware = IdentityText(result.radioFirmwareVersion);
    json.Set("changed", report.changed);
    // What changed: a value the device refused or did not take is a failure, not a change.
    json.Set("changes", ChangesJson(result.applied));
    JsonValue failures = JsonValue::Array();
    for (const auto& failure : result.failures) {
        session.Fail(kExitRefused, failure);
        failures.Append(failure);
    }
    json.Set("failures", std::move(failures));
    PrintChanges(session, result.applied, "changed");
    if (result.failures.empty())
        session.Out() << result.applied.size() << " change(s) made; the device holds the profile.\n";
    return Finish(session, profile, report, result.failures.empty() ? kExitDone : kExitRefused);
}

} // namespace tervane
