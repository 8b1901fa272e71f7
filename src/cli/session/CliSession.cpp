#include "CliSession.h"

#include "CliRunner.h"
#include "Clock.h"
#include "DeviceConnection.h"
#include "RciDocuments.h"
#include "Subcommands.h"
#include "TerminalProgress.h"

#include <iostream>
#include <sstream>

namespace tervane {

namespace {

// Output nobody reads: with --json the human-readable lines go here.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

std::ostream& NullStream()
{
    // One for each thread: the gateways of a run on several ports write their text (and set
    // its format flags) at once.
    static thread_local NullBuffer buffer;
    static thread_local std::ostream stream(&buffer);
    return stream;
}

} // namespace

std::string OneLine(std::string_view message)
{
    std::string line;
    for (std::size_t i = 0; i < message.size(); ++i) {
        const auto c = static_cast<unsigned char>(message[i]);
        if (c == '\r' || c == '\n') {
            // "\r\n" and runs of line ends become one blank.
            if (!line.empty() && line.back() != ' ')
                line.push_back(' ');
        } else if (c < 0x20 || c == 0x7f) {
            line.push_back('?');
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

CliSession::CliSession(CliOptions options, const CliEnvironment& environment)
    : m_options(std::move(options))
    , m_environment(environment)
{
    if (!m_environment.out)
        m_environment.out = &std::cout;
    if (!m_environment.err)
        m_environment.err = &std::cerr;
    if (!m_environment.in)
        m_environment.in = &std::cin;
    if (!m_environment.clock) {
        if (m_options.speedUp > 1)
            m_ownClock = std::make_unique<FastClock>(static_cast<uint32_t>(m_options.speedUp));
        else
            m_ownClock = std::make_unique<RealClock>();
        m_environment.clock = m_ownClock.get();
    }
    m_progress = std::make_unique<TerminalProgress>(*m_environment.err, m_environment.errorIsTerminal,
        *m_environment.clock, m_environment.terminalWidth);
    m_documents = std::make_unique<RciDocuments>();
}

CliSession::~CliSession()
{
    m_documents->SetParseFailureNote(nullptr);
    m_runner.reset();
    m_connection.reset();
    m_documents.reset();
}

std::ostream& CliSession::Out()
{
    return m_options.json ? NullStream() : *m_environment.out;
}

int CliSession::Fail(int status, std::string_view message)
{
    const std::string line = OneLine(message);
    m_progress->End();
    *m_environment.err << "tervane-q7: " << line << "\n" << std::flush;
    m_errors.Append(line);
    if (m_firstFailure.empty())
        m_firstFailure = line;
    return status;
}

int CliSession::UsageFailure(std::string_view message, std::string_view helpFor)
{
    Fail(kExitUsage, message);
    *m_environment.err << "Try 'tervane-q7 " << (helpFor.empty() ? "" : std::string(helpFor) + " ") << "--help'.\n"
                       << std::flush;
    return kExitUsage;
}

void CliSession::Note(std::string_view message)
{
    m_progress->End();
    *m_environment.err << "tervane-q7: " << OneLine(message) << "\n" << std::flush;
}

std::optional<int> CliSession::Connect()
{
    if (m_runner)
        return std::nullopt;
    m_connection = std::make_unique<DeviceConnection>(*m_environment.clock);
    std::string logFailure;
    if (!m_connection->OpenLog(m_options.logPath, logFailure))
        return Fail(kExitUsage, logFailure);
    m_documents->SetParseFailureNote([link = &m_connection->Link()](std::string_view note) {
        if (CommandLog* log = link->Log())
            log->WriteNote(note);
    });

    switch (m_connection->Open(m_options, m_environment.sysRoot, m_environment.devDir)) {
    case ConnectFailure::None:
        break;
    case ConnectFailure::PortUnusable:
    case ConnectFailure::NotFound: {
        // A device port that was there but would not open says why; only with none at all is
        // the device missing.
        const auto& problems = m_connection->OpenProblems();
        for (const auto& problem : problems)
            Fail(kExitNoDevice, problem);
        if (problems.empty())
            Fail(kExitNoDevice, "no Skellin Q7 found; connect it with its USB cable or name its port with --port");
        return kExitNoDevice;
    }
    case ConnectFailure::Several: {
        std::string list;
        for (const auto& name : m_connection->Candidates())
            list += (list.empty() ? "" : ", ") + name;
        JsonValue candidates = JsonValue::Array();
        for (const auto& name : m_connection->Candidates())
            candidates.Append(name);
        m_result.Set("candidates", std::move(candidates));
        return Fail(kExitNoDevice, "several Skellin Q7 found (" + list + "); choose one with --port");
    }
    case ConnectFailure::SimulatorFailed:
        return Fail(kExitUsage, m_connection->SimulatorError());
    }
    m_runner = std::make_unique<CliRunner>(m_connection->Link(), *m_progress);
    m_result.Set("port", m_connection->Link().PortName());
    return std::nullopt;
}

CliRunner& CliSession::Runner()
{
    return *m_runner;
}

bool CliSession::DeviceGone() const
{
    return m_runner != nullptr && m_runner->DeviceGone();
}

RciDocuments& CliSession::Documents()
{
    return *m_documents;
}

DeviceConnection& CliSession::Connection()
{
    return *m_connection;
}

std::string CliSession::PortName() const
{
    return m_connection ? m_connection->Link().PortName() : std::string();
}

bool CliSession::Confirm(std::string_view question)
{
    if (!m_environment.inputIsTerminal)
        return false;
    m_progress->End();
    *m_environment.err << question << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(*m_environment.in, answer))
        return false;
    for (char& c : answer) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    const auto first = answer.find_first_not_of(" \t");
    const auto last = answer.find_last_not_of(" \t\r");
    answer = first == std::string::npos ? std::string() : answer.substr(first, last - first + 1);
    return answer == "y" || answer == "yes";
}

int CliSession::Finish(int status, std::string_view command)
{
    m_progress->End();
    if (!m_options.json || m_skipDocument)
        return status;
    *m_environment.out << WriteJson(Document(status, command)) << "\n" << std::flush;
    return status;
}

JsonValue CliSession::Document(int status, std::string_view command) const
{
    // One shape per subcommand, failed or not: every member is there, null when unknown.
    // A run on several gateways holds one document per gateway instead.
    std::vector<std::string> names(std::begin(kCommonJsonMembers), std::end(kCommonJsonMembers));
    for (const auto& subcommand : Subcommands()) {
        if (command.empty() || subcommand.FullName() != command)
            continue;
        if (IsFleetRun(m_options, command)) {
            names.insert(names.end(), std::begin(kFleetJsonMembers), std::end(kFleetJsonMembers));
        } else {
            for (auto& member : subcommand.JsonMembers())
                names.push_back(std::move(member));
        }
    }
    JsonValue document = JsonValue::Object();
    for (const auto& name : names) {
        const JsonValue* value = m_result.Find(name);
        document.Set(name, value ? *value : JsonValue());
    }
    if (!command.empty())
        document.Set("command", command);
    document.Set("ok", status == kExitDone);
    document.Set("exitStatus", status);
    // A member its subcommand does not list still goes out, after the listed ones.
    for (const auto& member : m_result.Members()) {
        if (!document.Find(member.name))
            document.Set(member.name, member.value);
    }
    document.Set("errors", m_errors);
    return document;
}

} // namespace tervane
