// apply: brings a gateway to what a profile describes, changing only what differs, and
// says what it changed (or, with --check, what it would change).

#include "CliDeviceQuery.h"
#include "CliQuestions.h"
#include "CliRunner.h"
#include "CliSession.h"
#include "CommandText.h"
#include "InventoryRecord.h"
#include "LocalFiles.h"
#include "ProcedureSteps.h"
#include "SettingPath.h"
#include "ProfileApply.h"
#include "ProfileReader.h"
#include "RciDocuments.h"
#include "SubcommandHandlers.h"

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
    record.imei = report.facts.imei;
    record.iccid = report.iccid;
    record.imsi = report.facts.imsi;
    record.product = report.product;
    record.firmwareBefore = report.firmwareBefore;
    record.firmwareAfter = report.firmwareAfter;
    record.radioFirmware = report.radioFirmware;
    record.profileDigest = profile.digest;
    record.changed = report.changed;
    switch (status) {
    case kExitDone: record.result = session.Options().check ? "checked" : "done"; break;
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
    json.Set("firmwareBefore", report.firmwareBefore);
    json.Set("firmwareAfter", report.firmwareAfter);
    json.Set("radioFirmware", report.radioFirmware);
    const bool recorded = Record(session, profile, report, status);
    // A record that could not be written turns a done run into a failed one.
    return status == kExitDone && !recorded ? kExitRefused : status;
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
    const Profile& profile = read.profile;
    JsonValue& json = session.Result();
    json.Set("check", options.check);
    json.Set("changed", false);
    json.Set("changes", JsonValue::Array());
    json.Set("failures", JsonValue::Array());

    ApplyReport report;
    if (const auto status = ReadDevice(session, report.facts))
        return Finish(session, profile, report, *status);
    RciDocuments& documents = session.Documents();
    report.iccid = SettingText(documents.StateRoot(), "mobile_stats/iccid").value_or("");
    report.product = SettingText(documents.StateRoot(), "device_info/product").value_or("");

    const ProfilePlan plan = PlanProfile(profile, documents, session.Runner());
    report.firmwareBefore = plan.firmwareVersion;
    report.firmwareAfter = plan.firmwareVersion;
    report.radioFirmware = plan.radioFirmwareVersion;
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
        return Finish(session, profile, report, kExitDone);
    }

    CliQuestions questions(session, options.retries);
    const ProfileApplyResult result = ApplyProfilePlan(profile, plan, documents, session.Runner(), questions);
    report.changed = !result.applied.empty();
    report.firmwareAfter = result.firmwareVersion;
    report.radioFirmware = result.radioFirmwareVersion;
    json.Set("changed", report.changed);
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
