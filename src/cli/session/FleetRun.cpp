#include "FleetRun.h"

#include "AttachedGateways.h"
#include "CliSession.h"
#include "StopRequest.h"
#include "Subcommands.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <thread>
#include <utility>

namespace tervane {

namespace {

// Whole lines, each with the port in front, to a stream that other gateways write to too.
class PrefixedLines : public std::streambuf {
public:
    PrefixedLines(std::ostream& target, std::mutex& mutex, std::string prefix)
        : m_target(target)
        , m_mutex(mutex)
        , m_prefix(std::move(prefix))
    {
    }
    ~PrefixedLines() override
    {
        if (!m_line.empty()) {
            m_line.push_back('\n');
            Emit();
        }
    }
    PrefixedLines(const PrefixedLines&) = delete;
    PrefixedLines& operator=(const PrefixedLines&) = delete;

protected:
    int overflow(int c) override
    {
        if (c == traits_type::eof())
            return traits_type::not_eof(c);
        m_line.push_back(static_cast<char>(c));
        if (c == '\n')
            Emit();
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        for (std::streamsize i = 0; i < count; ++i)
            overflow(static_cast<unsigned char>(text[i]));
        return count;
    }

private:
    void Emit()
    {
        const std::lock_guard lock(m_mutex);
        m_target << m_prefix << m_line << std::flush;
        m_line.clear();
    }

    std::ostream& m_target;
    std::mutex& m_mutex;
    const std::string m_prefix;
    std::string m_line;
};

struct GatewayRun {
    explicit GatewayRun(std::string portName)
        : port(std::move(portName))
    {
    }
    std::string port;
    int status = kExitNoDevice;
    bool stopped = false;  // a stop was asked before it finished
    JsonValue document;
};

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// What a port name opens: the file it leads to (a link and its target are one), or the name
// itself where there is no such file (a network port).
struct PortIdentity {
    bool file = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;
    bool operator==(const PortIdentity&) const = default;
};

PortIdentity IdentityOf(const std::string& port)
{
    struct stat info { };
    if (::stat(port.c_str(), &info) == 0)
        return {true, info.st_dev, info.st_ino, {}};
    return {false, 0, 0, port};
}

std::string PortBaseName(const std::string& port)
{
    const std::string name = std::filesystem::path(port).filename().string();
    return name.empty() ? "gateway" : name;
}

// A gateway that drifted (apply --check) weighs less than one that failed.
int WorseStatus(int a, int b)
{
    const auto rank = [](int status) { return status == kExitDrift ? 1 : status == kExitDone ? 0 : status + 1; };
    return rank(b) > rank(a) ? b : a;
}

} // namespace

bool RunsOnEveryGateway(const Subcommand& subcommand)
{
    constexpr std::array kNames{"apply", "info", "firmware", "radio-firmware", "backup", "settings get", "python ls"};
    const std::string name = subcommand.FullName();
    return std::ranges::any_of(kNames, [&name](const char* each) { return name == each; });
}

std::string GatewayLogPath(const std::string& logPath, const std::string& port)
{
    if (logPath.empty())
        return {};
    const std::filesystem::path path(logPath);
    const std::string stem = path.stem().string();
    return (path.parent_path() / (stem + "-" + PortBaseName(port) + path.extension().string())).string();
}

int RunFleet(const Subcommand& subcommand, CliSession& session, const std::vector<std::string>& operands)
{
    const std::string name = subcommand.FullName();
    if (!RunsOnEveryGateway(subcommand))
        return session.UsageFailure(name + " runs on one gateway at a time", name);
    const CliOptions& options = session.Options();
    const bool backup = name == "backup";
    if (backup && !IsFolder(operands[0]))
        return session.UsageFailure("with several gateways, backup wants a folder to put one file per gateway in", name);

    std::vector<GatewayRun> runs;
    if (options.all) {
        for (const auto& gateway : ListAttachedGateways(session.Environment().sysRoot, session.Environment().devDir))
            runs.emplace_back(gateway.port);
    } else {
        // A gateway named twice (the same name, or a link and its target) runs once.
        std::vector<std::pair<PortIdentity, std::string>> named;
        for (const auto& port : options.ports) {
            PortIdentity identity = IdentityOf(port);
            const auto earlier = std::ranges::find_if(named, [&](const auto& each) { return each.first == identity; });
            if (earlier != named.end()) {
                session.Note(port + " is the gateway " + earlier->second + " names; it runs once");
                continue;
            }
            named.emplace_back(std::move(identity), port);
            runs.emplace_back(port);
        }
    }
    if (runs.empty())
        return session.Fail(kExitNoDevice, "no Skellin Q7 found; connect them with their USB cables");

    ClearStopRequest();
    const StopOnInterrupt interrupt;
    std::mutex outputMutex;
    std::vector<std::thread> threads;
    for (auto& run : runs) {
        threads.emplace_back([&, &run = run] {
            CliOptions own = options;
            own.all = false;
            own.port = run.port;
            own.ports = {run.port};
            own.logPath = GatewayLogPath(options.logPath, run.port);
            std::vector<std::string> ownOperands = operands;
            if (backup)
                ownOperands[0] = (std::filesystem::path(operands[0]) / (PortBaseName(run.port) + ".cfg")).string();

            PrefixedLines outLines(*session.Environment().out, outputMutex, run.port + ": ");
            PrefixedLines errLines(*session.Environment().err, outputMutex, run.port + ": ");
            std::ostream out(&outLines);
            std::ostream err(&errLines);
            CliEnvironment environment = session.Environment();
            environment.out = &out;
            environment.err = &err;
            environment.errorIsTerminal = false;
            environment.inputIsTerminal = false;
            {
                CliSession gateway(own, environment);
                run.status = subcommand.run(gateway, ownOperands);
                run.stopped = StopRequested();
                run.document = gateway.Document(run.status, name);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    int worst = kExitDone;
    JsonValue documents = JsonValue::Array();
    JsonValue notDone = JsonValue::Array();
    std::string notDoneText;
    for (auto& run : runs) {
        worst = WorseStatus(worst, run.status);
        run.document.Set("port", run.port);
        documents.Append(run.document);
        if (run.status != kExitDone || run.stopped) {
            notDone.Append(run.port);
            notDoneText += (notDoneText.empty() ? "" : ", ") + run.port + " (exit status "
                + std::to_string(run.status) + (run.stopped ? ", stopped" : "") + ")";
        }
    }
    const std::size_t done = runs.size() - notDone.Size();
    session.Result().Set("gateways", std::move(documents));
    session.Result().Set("notDone", std::move(notDone));
    session.Out() << "Done on " << done << " of " << runs.size() << " gateways"
                  << (notDoneText.empty() ? "." : "; not done: " + notDoneText + ".") << "\n";
    if (StopRequested()) {
        session.Note("stopped by the user");
        worst = std::max(worst, static_cast<int>(kExitRefused));
    }
    return worst;
}

} // namespace tervane
