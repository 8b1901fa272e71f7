#pragma once

#include "CliOptions.h"
#include "JsonWriter.h"
#include "CliEnvironment.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tervane {

class CliRunner;
class Clock;
class DeviceConnection;
class RciDocuments;
class TerminalProgress;

// One run of the tool: its options, its output, and the device once a subcommand has asked
// for it. Human-readable output goes to standard output as the subcommand goes; with
// --json the subcommand fills Result() instead and Finish() writes it as one document.
// Failures go to standard error, one line each, in both cases.
class CliSession {
public:
    CliSession(CliOptions options, const CliEnvironment& environment);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    const CliOptions& Options() const { return m_options; }
    bool Json() const { return m_options.json; }
    // The ports the run is on, once selectors on the command line have been found.
    void SetPorts(std::vector<std::string> ports)
    {
        m_options.port = ports.empty() ? std::string() : ports.front();
        m_options.ports = std::move(ports);
    }
    const CliEnvironment& Environment() const { return m_environment; }
    // Human-readable output; nothing of it is written with --json.
    std::ostream& Out();
    // The --json document's members besides "ok", "exitStatus" and "errors".
    JsonValue& Result() { return m_result; }

    // Reports a failure: "tervane-q7: <message>" on one line of standard error. Returns
    // `status`, for `return session.Fail(...)`.
    int Fail(int status, std::string_view message);
    // The first line Fail() reported in this run; empty when there was none.
    const std::string& FirstFailure() const { return m_firstFailure; }
    // A usage failure, with the hint where to read more.
    int UsageFailure(std::string_view message, std::string_view helpFor = {});
    // A line on standard error that is not a failure (a retry, a skipped step).
    void Note(std::string_view message);

    // Finds and opens the device, then makes the runner. None when it is open; otherwise
    // the failure has been reported and this is the exit status.
    std::optional<int> Connect();
    CliRunner& Runner();
    // Whether the link gave up on the connected device (CliRunner::DeviceGone); false
    // before Connect.
    bool DeviceGone() const;
    RciDocuments& Documents();
    DeviceConnection& Connection();
    std::string PortName() const;

    // Asks a yes/no question on the terminal; true only for an answer of y or yes.
    bool Confirm(std::string_view question);

    // The subcommand has written its own JSON, one object per line: Finish writes no
    // document, unless the run failed before any was written.
    void SkipDocument() { m_skipDocument = true; }

    // Ends the run: writes the --json document. Returns `status`.
    int Finish(int status, std::string_view command);
    // The --json document of the run as it stands.
    JsonValue Document(int status, std::string_view command) const;

private:
    CliOptions m_options;
    CliEnvironment m_environment;
    std::unique_ptr<Clock> m_ownClock;
    std::unique_ptr<TerminalProgress> m_progress;
    std::unique_ptr<DeviceConnection> m_connection;
    std::unique_ptr<CliRunner> m_runner;
    std::unique_ptr<RciDocuments> m_documents;
    JsonValue m_result = JsonValue::Object();
    JsonValue m_errors = JsonValue::Array();
    bool m_skipDocument = false;
    std::string m_firstFailure;
};

// A message as one line: line ends become blanks, other control characters "?".
std::string OneLine(std::string_view message);

} // namespace tervane
