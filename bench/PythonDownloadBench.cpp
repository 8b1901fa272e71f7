// Download of one Python file from the simulated Q7 through DownloadPythonFiles, at 1, 16, 64
// and 256 MiB: wall time of the whole exchange (announcement, file reply in Base64, digest
// query, decode, write, local digest) against its floor, and the downloading process's peak
// memory above what it held before, against the file's size. "Before" is after a download of
// a 4 KiB file, which pages in the code of the parser, the digest and the link (about 2.5 MB
// of shared library pages, reported apart as "first use"), so the peak is the memory the
// download itself holds. The floor is the same three rows run as a bare batch: the drains,
// the device's send time and the reading, without parsing, decoding or writing; timed
// downloads and bare batches alternate, after two untimed downloads. Each size runs in fresh
// processes: the device in one, the download in another, so that neither the device's copy
// of the file nor an earlier size counts.
#include "BatchWorker.h"
#include "DeviceRunner.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "PythonFiles.h"
#include "RciRequests.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SimulatedQ7.h"
#include "TransferVerification.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Even, so that downloads and bare batches come first equally often.
constexpr int kRounds = 4;

long PeakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string Bytes(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251 + 7) & 0xff);
    return bytes;
}

// Saves every file to one path and gives up at any question.
class BenchQuestions : public tervane::ProcedureQuestions {
public:
    explicit BenchQuestions(std::string path)
        : m_path(std::move(path))
    {
    }
    tervane::Answer Ask(tervane::QuestionKind, const std::string&, const std::string& text) override
    {
        std::fprintf(stderr, "asked: %s\n", text.c_str());
        return tervane::Answer::Cancel;
    }
    std::optional<std::string> ChooseSaveFile(const tervane::FileChoice&) override { return m_path; }

private:
    std::string m_path;
};

bool WriteLine(int fd, const std::string& line)
{
    const std::string text = line + "\n";
    return write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

std::string ReadLine(int fd)
{
    std::string line;
    char c = 0;
    while (read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

// The device: serves until `stop` reaches its end.
[[noreturn]] void RunDevice(std::size_t size, int report, int stop)
{
    tervane::sim::DeviceConfig config;
    config.files["/WEB/python/big.py"] = Bytes(size);
    config.files["/WEB/python/small.py"] = Bytes(4096);
    tervane::sim::SimulatedQ7 device(config);
    WriteLine(report, device.Start() ? device.PortPath() : std::string());
    char c = 0;
    while (read(stop, &c, 1) > 0) { }
    device.Stop();
    _exit(0);
}

// The bare batch of a download: the same rows, their answers read and dropped.
double FloorSeconds(tervane::SerialLink& link, std::size_t size)
{
    const auto item = tervane::ItemForEntry({"big.py", std::to_string(size)});
    tervane::CommandBatch batch;
    batch.AddTail(tervane::CommandRow(std::string(tervane::kRawRequestAnnounce), "", 10000));
    batch.AddTail(tervane::CommandRow(tervane::FillRciRequest(tervane::kGetPythonFileRequest, item.name).value_or(""),
        "", 40000, tervane::DownloadResponseReserve(item.size)));
    batch.AddTail(
        tervane::CommandRow(tervane::PythonDigestQuery(item.name), "", tervane::DownloadDigestTimeout(item.size)));
    const auto start = std::chrono::steady_clock::now();
    tervane::RunBatch(link, batch, nullptr);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The download: reports "<seconds per download> <peak kB above the start> <all saved>
// <floor seconds> <kB paged in by the first small download>".
[[noreturn]] void RunDownload(std::size_t size, const std::string& port, int report)
{
    tervane::InitXmlLibrary();
    tervane::SerialLink link;
    link.SetPortName(port);
    if (!link.OpenPort()) {
        WriteLine(report, "0 0 0");
        _exit(1);
    }
    tervane::DirectRunner runner(link);
    char scratch[] = "/tmp/tervane-bench-XXXXXX";
    const int fd = mkstemp(scratch);
    if (fd >= 0)
        close(fd);
    BenchQuestions questions(scratch);
    const std::vector<tervane::PythonFileItem> items {tervane::ItemForEntry({"big.py", std::to_string(size)})};

    const long cold = PeakKilobytes();
    const std::vector<tervane::PythonFileItem> small {tervane::ItemForEntry({"small.py", "4096"})};
    const auto first = tervane::DownloadPythonFiles(small, runner, questions);
    bool saved = first.size() == 1 && first[0].outcome == tervane::PythonDownloadOutcome::Saved;
    const long before = PeakKilobytes();
    const auto download = [&] {
        const auto results = tervane::DownloadPythonFiles(items, runner, questions);
        saved = saved && results.size() == 1 && results[0].outcome == tervane::PythonDownloadOutcome::Saved;
    };
    // Two downloads, untimed, give the peak memory (a second one would show memory a download
    // leaves behind; the bare batch holds the whole reply, so it runs only after) and warm both
    // sides. The timed downloads and bare batches then alternate, so that neither gains from
    // coming later.
    download();
    download();
    const long peak = PeakKilobytes() - before;
    double seconds = 0;
    double floor = 0;
    for (int round = 0; round < kRounds; ++round) {
        if (round % 2 == 1)
            floor += FloorSeconds(link, size);
        const auto start = std::chrono::steady_clock::now();
        download();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (round % 2 == 0)
            floor += FloorSeconds(link, size);
    }
    unlink(scratch);
    WriteLine(report,
        std::to_string(seconds / kRounds) + " " + std::to_string(peak) + " " + (saved ? "1" : "0") + " " +
            std::to_string(floor / kRounds) + " " + std::to_string(before - cold));
    _exit(0);
}

struct Figures {
    double seconds = 0;
    long peakKilobytes = 0;
    bool saved = false;
    double floorSeconds = 0;
    long firstUseKilobytes = 0;
};

bool Measure(std::size_t size, Figures& figures)
{
    int devicePort[2];
    int deviceStop[2];
    int downloadReport[2];
    if (pipe(devicePort) != 0 || pipe(deviceStop) != 0 || pipe(downloadReport) != 0)
        return false;

    const pid_t device = fork();
    if (device == 0) {
        close(devicePort[0]);
        close(deviceStop[1]);
        close(downloadReport[0]);
        close(downloadReport[1]);
        RunDevice(size, devicePort[1], deviceStop[0]);
    }
    close(devicePort[1]);
    close(deviceStop[0]);
    const std::string port = ReadLine(devicePort[0]);
    close(devicePort[0]);

    bool ok = !port.empty();
    if (ok) {
        const pid_t download = fork();
        if (download == 0) {
            close(deviceStop[1]);
            close(downloadReport[0]);
            RunDownload(size, port, downloadReport[1]);
        }
        close(downloadReport[1]);
        const std::string line = ReadLine(downloadReport[0]);
        close(downloadReport[0]);
        waitpid(download, nullptr, 0);
        int saved = 0;
        ok = std::sscanf(line.c_str(), "%lf %ld %d %lf %ld", &figures.seconds, &figures.peakKilobytes, &saved,
                 &figures.floorSeconds, &figures.firstUseKilobytes) == 5;
        figures.saved = saved == 1;
    }
    close(deviceStop[1]);
    waitpid(device, nullptr, 0);
    return ok;
}

} // namespace

// The sizes in MiB may be given on the command line (1 16 64 256 when none are).
int main(int argc, char** argv)
{
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(static_cast<std::size_t>(std::strtoul(argv[i], nullptr, 10)) << 20);
    if (sizes.empty())
        sizes = {1u << 20, 16u << 20, 64u << 20, 256u << 20};
    std::printf("Python file download through DownloadPythonFiles, simulated Q7, mean of %d downloads\n", kRounds);
    std::printf("%10s  %9s  %9s  %9s  %9s  %14s  %12s  %15s  %s\n", "size (B)", "wall (s)", "floor (s)", "wall/floor",
        "MB/s", "peak +RSS (kB)", "peak / size", "first use (kB)", "saved");
    for (const std::size_t size : sizes) {
        Figures figures;
        if (!Measure(size, figures)) {
            std::fprintf(stderr, "the download of %zu bytes could not be measured\n", size);
            return 1;
        }
        const double kilobytes = static_cast<double>(size) / 1024.0;
        std::printf("%10zu  %9.3f  %9.3f  %9.3f  %9.2f  %14ld  %12.2f  %15ld  %s\n", size, figures.seconds,
            figures.floorSeconds, figures.seconds / figures.floorSeconds,
            static_cast<double>(size) / 1e6 / figures.seconds, figures.peakKilobytes,
            static_cast<double>(figures.peakKilobytes) / kilobytes, figures.firstUseKilobytes,
            figures.saved ? "yes" : "NO");
        std::fflush(stdout);
    }
    return 0;
}
