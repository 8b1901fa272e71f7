// tervane-q7 apply against simulated gateways run by tervane-q7-sim --count in a process of
// their own, so that the CPU time measured here is the tool's alone.
//  1. apply --port x8 of a profile (settings + one Python file) against the same apply to one
//     gateway, side by side: wall time ratio (target at most 1.15) and CPU / wall (below 5 %).
//  2. a second apply that changes nothing against the floor of the reads it must send (the
//     device query, the file list, one digest query), run straight on a link (target 1.05).
#include "DeviceQuery.h"
#include "DeviceRunner.h"
#include "CommandBatch.h"
#include "ProcedureSteps.h"
#include "PythonFiles.h"
#include "RciDocuments.h"
#include "RunCli.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "TransferVerification.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kFleet = 8;

double CpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Run {
    int status = -1;
    double wall = 0;
    double cpu = 0;
};

Run Apply(const std::vector<std::string>& ports, const std::string& profile)
{
    std::vector<std::string> args;
    for (const auto& port : ports) {
        args.push_back("--port");
        args.push_back(port);
    }
    args.push_back("apply");
    args.push_back(profile);
    std::ostringstream out;
    std::ostringstream err;
    tervane::CliEnvironment environment;
    environment.out = &out;
    environment.err = &err;
    Run run;
    const double cpu = CpuSeconds();
    const double start = Now();
    run.status = tervane::RunCli(args, environment);
    run.wall = Now() - start;
    run.cpu = CpuSeconds() - cpu;
    if (run.status != 0)
        std::fprintf(stderr, "apply failed (%d):\n%s", run.status, err.str().c_str());
    return run;
}

// The reads a second apply must send, straight on a link.
double ReadFloor(const std::string& port, const std::string& name, const std::string& local)
{
    tervane::SerialLink link;
    link.SetPortName(port);
    if (!link.OpenPort())
        return 0;
    tervane::DirectRunner runner(link);
    tervane::RciDocuments documents;
    tervane::DeviceFacts facts;
    const double start = Now();
    tervane::QueryDevice(facts, documents, runner);
    tervane::ListPythonFiles(runner);
    tervane::CommandBatch digest;
    digest.AddTail(tervane::CommandRow(tervane::PythonDigestQuery(name), "", tervane::DownloadDigestTimeout(100)));
    runner.RunBatch(digest);
    const double wall = Now() - start;
    if (!tervane::DigestsMatch(tervane::FileDigestHex(local).value_or(""), *digest.GetTail()))
        std::fprintf(stderr, "warning: the floor's digest does not match\n");
    link.ClosePort();
    return wall;
}

} // namespace

int main()
{
    tervane::InitXmlLibrary();
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return 1;
    const pid_t sim = fork();
    if (sim == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        execl(TERVANE_SIM_PROGRAM, TERVANE_SIM_PROGRAM, "--count", std::to_string(kFleet + 1).c_str(),
            static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    FILE* paths = fdopen(pipeFds[0], "r");
    std::vector<std::string> ports;
    char line[4096];
    while (static_cast<int>(ports.size()) < kFleet + 1 && std::fgets(line, sizeof line, paths)) {
        std::string path(line);
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
            path.pop_back();
        ports.push_back(path);
    }
    // The simulator goes with the benchmark, however it ends.
    const auto stopSimulator = [sim] {
        kill(sim, SIGTERM);
        waitpid(sim, nullptr, 0);
    };
    if (static_cast<int>(ports.size()) != kFleet + 1) {
        std::fprintf(stderr, "tervane-q7-sim --count did not publish its gateways\n");
        stopSimulator();
        return 1;
    }

    char folder[] = "/tmp/tervane-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        stopSimulator();
        return 1;
    }
    const std::string dir = folder;
    const std::string profile = dir + "/fleet.yaml";
    std::ofstream(dir + "/staged.py") << "print('staged on the bench')\n";
    std::ofstream(profile) << "settings:\n  mobile_simple/apn: fleet.example\npython:\n  present: [staged.py]\n";

    const std::vector<std::string> one{ports[0]};
    const std::vector<std::string> fleet(ports.begin() + 1, ports.end());
    const Run single = Apply(one, profile);
    const Run eight = Apply(fleet, profile);

    constexpr int rounds = 3;
    double again = 0;
    double floor = 0;
    for (int i = 0; i < rounds; ++i) {
        again += Apply(one, profile).wall;
        floor += ReadFloor(ports[0], "staged.py", dir + "/staged.py");
    }
    again /= rounds;
    floor /= rounds;

    std::printf("apply of settings + one Python file, real time (20 s settle included)\n");
    std::printf("  1 gateway          %.3f s\n", single.wall);
    std::printf("  %d gateways         %.3f s\n", kFleet, eight.wall);
    std::printf("  %d / 1              %.3f (target at most 1.15)\n", kFleet, eight.wall / single.wall);
    std::printf("  CPU / wall, %d      %.2f %% (target below 5 %%; the tool alone)\n", kFleet,
        100.0 * eight.cpu / eight.wall);
    std::printf("second apply that changes nothing, mean of %d\n", rounds);
    std::printf("  wall time          %.3f s\n", again);
    std::printf("  floor of its reads %.3f s (device query, file list, one digest query)\n", floor);
    std::printf("  wall / floor       %.3f (target at most 1.05)\n", again / floor);

    stopSimulator();
    std::remove((dir + "/staged.py").c_str());
    std::remove(profile.c_str());
    rmdir(folder);
    tervane::CleanupXmlLibrary();
    return single.status == 0 && eight.status == 0 ? 0 : 1;
}
