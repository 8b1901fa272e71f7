#include "SimulatedQ7.h"

#include "SimDevice.h"

#include <libxml/parser.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tervane::sim {

namespace {

using Clock = std::chrono::steady_clock;

// After a line end the device waits this long for more line ends of the same command.
constexpr int kSettleMs = 15;
// How long an answer may wait for the program to make room before it is thrown away.
constexpr int kWriteStallMs = 2000;
// How long a restart waits for the program to read the last answer.
constexpr int kReadOutMs = 1000;

// An unsolicited text after an answer comes this much later, as between two commands.
constexpr int kUnsolicitedLagMs = 40;

constexpr const char* kPrintSpan = "<pyPrint>sensor_report: 21.5 C, 40 %\r\n</pyPrint>";
constexpr const char* kUsbSpan = "<usb>USB: keep-alive</usb>";

int Remaining(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::string FreshFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tervane-q7-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

} // namespace

SimulatedQ7::SimulatedQ7(DeviceConfig config)
    : m_config(std::move(config))
{
    xmlInitParser();
    m_device = std::make_unique<SimDevice>(m_config);
}

SimulatedQ7::~SimulatedQ7()
{
    Stop();
}

bool SimulatedQ7::Start(std::string linkPath)
{
    std::lock_guard lock(m_mutex);
    if (m_running)
        return false;
    std::string ownDir;
    if (linkPath.empty()) {
        ownDir = FreshFolder();
        if (ownDir.empty())
            return false;
        linkPath = ownDir + "/ttyQ7";
    } else {
        struct stat info{};
        if (lstat(linkPath.c_str(), &info) == 0 && !S_ISLNK(info.st_mode))
            return false; // never replace anything but an older port link
    }
    int wake[2];
    if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        if (!ownDir.empty())
            rmdir(ownDir.c_str());
        return false;
    }
    if (!m_pty.Open() || !m_pty.Publish(linkPath)) {
        m_pty.Close();
        close(wake[0]);
        close(wake[1]);
        if (!ownDir.empty())
            rmdir(ownDir.c_str());
        return false;
    }
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];
    m_link = linkPath;
    m_ownDir = ownDir;
    m_parser.Reset();
    m_stopRequested = false;
    m_restartsTaken = m_restartsRequested;
    m_portPresent = true;
    m_running = true;
    m_thread = std::thread(&SimulatedQ7::Serve, this);
    return true;
}

void SimulatedQ7::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_running || m_stopRequested)
            return;
        m_stopRequested = true;
        Wake();
    }
    m_thread.join();
    m_pty.Close();
    std::lock_guard lock(m_mutex);
    struct stat info{};
    if (lstat(m_link.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        unlink(m_link.c_str());
    if (!m_ownDir.empty())
        rmdir(m_ownDir.c_str());
    m_ownDir.clear();
    close(m_wakeRead);
    close(m_wakeWrite);
    m_wakeRead = m_wakeWrite = -1;
    m_portPresent = false;
    m_running = false;
    m_changed.notify_all();
}

bool SimulatedQ7::IsRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

std::string SimulatedQ7::PortPath() const
{
    std::lock_guard lock(m_mutex);
    return m_link;
}

std::string SimulatedQ7::OwnFolder() const
{
    std::lock_guard lock(m_mutex);
    return m_ownDir;
}

bool SimulatedQ7::PortPresent() const
{
    std::lock_guard lock(m_mutex);
    return m_portPresent;
}

bool SimulatedQ7::Restarting() const
{
    std::lock_guard lock(m_mutex);
    return m_running && !m_stopRequested && (m_restartAhead || !m_portPresent);
}

void SimulatedQ7::RestartAhead()
{
    std::lock_guard lock(m_mutex);
    m_restartAhead = true;
}

bool SimulatedQ7::WaitForPort(int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_portPresent; });
}

void SimulatedQ7::Restart(int delayMs)
{
    std::unique_lock lock(m_mutex);
    if (!m_running || m_stopRequested)
        return;
    const std::uint64_t ticket = ++m_restartsRequested;
    m_requestedDelayMs = delayMs;
    Wake();
    m_changed.wait(lock, [&] { return m_restartsTaken >= ticket || !m_running; });
}

int SimulatedQ7::RestartCount() const
{
    std::lock_guard lock(m_mutex);
    return m_restarts;
}

void SimulatedQ7::Serve()
{
    for (;;) {
        bool restart = false;
        int delayMs = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopRequested)
                return;
            if (m_restartsRequested > m_restartsTaken) {
                restart = true;
                delayMs = m_requestedDelayMs;
            }
        }
        if (restart) {
            if (m_pty.IsOpen())
                GoAway();
            {
                std::lock_guard lock(m_mutex);
                m_restartsTaken = m_restartsRequested;
                m_changed.notify_all();
            }
            StayAway(delayMs + m_device->GetFaults().slowRestartMs);
            continue;
        }
        if (!m_pty.IsOpen()) {
            ComeBack();
            continue;
        }

        int timeout = -1;
        if (m_parser.AwaitingSettle())
            timeout = kSettleMs;
        else if (m_parser.InTransfer())
            timeout = m_config.transferIdleMs;
        pollfd fds[2] = {{m_pty.Master(), POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        const int ready = poll(fds, 2, timeout);
        if (ready < 0) {
            if (errno != EINTR)
                Pause(50);
            continue;
        }
        if (fds[1].revents != 0) {
            DrainWake();
            continue;
        }
        if (ready == 0) {
            auto input = m_parser.AwaitingSettle() ? m_parser.Settle() : m_parser.Abandon();
            if (input && !Process(*input))
                continue;
        } else if ((fds[0].revents & POLLIN) != 0) {
            char buffer[65536];
            const ssize_t count = read(m_pty.Master(), buffer, sizeof buffer);
            if (count > 0)
                m_parser.Feed(std::string_view(buffer, static_cast<std::size_t>(count)));
        } else {
            // A hang-up or error on our own master: nothing to read, so do not spin on it.
            Pause(50);
            continue;
        }
        while (auto input = m_parser.Next()) {
            if (!Process(*input))
                break;
        }
    }
}

bool SimulatedQ7::Process(const SimInput& input)
{
    const SimReply reply = m_device->Handle(input);
    if (reply.then == SimReply::Then::ExpectRawRequest)
        m_parser.ExpectRawRequest();
    else if (reply.then == SimReply::Then::ExpectData)
        m_parser.ExpectData(reply.dataBytes);
    if (reply.result == SimReply::Result::None)
        return true;

    const Faults faults = m_device->GetFaults();
    const std::string answer = Compose(input, reply, faults);
    if (!Pause(m_config.answerDelayMs))
        return false;
    if (m_device->TakeHangUp()) {
        RestartAhead();
        WriteToPort(std::string_view(answer).substr(0, answer.size() / 2));
        RestartFromDevice();
        return false;
    }
    if (reply.then == SimReply::Then::Restart)
        RestartAhead();
    if (!WriteAnswer(answer, faults))
        return false;
    if (reply.then == SimReply::Then::Restart) {
        RestartFromDevice();
        return false;
    }
    if (!faults.unsolicited.empty() && faults.unsolicitedAt == Faults::UnsolicitedAt::AfterAnswer) {
        if (!Pause(kUnsolicitedLagMs))
            return false;
        WriteToPort(faults.unsolicited);
    }
    return true;
}

std::string SimulatedQ7::Compose(const SimInput& input, const SimReply& reply, const Faults& faults) const
{
    const bool echoed = input.kind == SimInput::Kind::Line || input.kind == SimInput::Kind::RawRequest;
    std::string echo = echoed ? input.echo : std::string();
    std::string body = reply.body;
    std::string terminator = reply.result == SimReply::Result::Ok ? "\r\nOK\r\n" : "\r\nERROR\r\n";
    if (echoed && AnyPartOf(faults.unendedFor, input.text))
        terminator.clear();
    else if (echoed && reply.result == SimReply::Result::Ok && AnyPartOf(faults.ackFor, input.text))
        terminator = std::string("\r\n\x06\r\n");
    if (faults.printSpans) {
        echo += kPrintSpan;
        body.insert(body.size() / 2, kUsbSpan);
    }
    switch (faults.unsolicitedAt) {
    case Faults::UnsolicitedAt::BeforeEcho: return faults.unsolicited + echo + body + terminator;
    case Faults::UnsolicitedAt::AfterEcho: return echo + faults.unsolicited + body + terminator;
    case Faults::UnsolicitedAt::AfterAnswer: break;
    }
    return echo + body + terminator;
}

bool SimulatedQ7::WriteAnswer(std::string_view bytes, const Faults& faults)
{
    if (faults.fragmentBytes == 0)
        return WriteToPort(bytes);
    for (std::size_t at = 0; at < bytes.size(); at += faults.fragmentBytes) {
        if (at > 0 && !Pause(faults.fragmentPauseMs))
            return false;
        if (!WriteToPort(bytes.substr(at, faults.fragmentBytes)))
            return false;
    }
    return true;
}

bool SimulatedQ7::WriteToPort(std::string_view bytes)
{
    int stalls = 0;
    while (!bytes.empty()) {
        const ssize_t written = write(m_pty.Master(), bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            return true; // the port is broken; the answer is lost like on a pulled cable
        pollfd fds[2] = {{m_pty.Master(), POLLOUT, 0}, {m_wakeRead, POLLIN, 0}};
        const int ready = poll(fds, 2, kWriteStallMs);
        if (ready > 0 && fds[1].revents != 0)
            return false;
        if (ready == 0) {
            // Nobody reads the port: old answers are lost, as in a modem's full buffer.
            if (++stalls > 2)
                return true;
            m_pty.DiscardUnread();
        }
    }
    return true;
}

void SimulatedQ7::WaitUntilRead()
{
    // Written bytes reach the slave's queue a moment after the write returns. Once the
    // program has read them the device goes at once, as a real one does well within the
    // quiet wait before the program's next command; a slower going would let that command
    // reach a device that is about to vanish.
    if (!Pause(3))
        return;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReadOutMs);
    while (m_pty.UnreadByProgram() > 0 && Clock::now() < deadline) {
        if (!Pause(1))
            return;
    }
}

void SimulatedQ7::RestartFromDevice()
{
    WaitUntilRead();
    GoAway();
    StayAway(m_config.restartDelayMs + m_device->GetFaults().slowRestartMs);
}

void SimulatedQ7::GoAway()
{
    std::string link;
    {
        // Marked first: whoever sees the hang-up must not find the port still reported present.
        std::lock_guard lock(m_mutex);
        link = m_link;
        m_portPresent = false;
        ++m_restarts;
        m_changed.notify_all();
    }
    unlink(link.c_str());
    m_pty.Close();
    m_parser.Reset();
    m_device->Restarted();
}

bool SimulatedQ7::StayAway(int delayMs)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(delayMs);
    for (;;) {
        if (Pause(Remaining(deadline)))
            return true;
        DrainWake();
        std::lock_guard lock(m_mutex);
        if (m_stopRequested)
            return false;
        if (m_restartsRequested > m_restartsTaken) {
            // Restarted again while away: the new delay counts from now.
            m_restartsTaken = m_restartsRequested;
            deadline = Clock::now() + std::chrono::milliseconds(m_requestedDelayMs);
            m_changed.notify_all();
        }
    }
}

bool SimulatedQ7::ComeBack()
{
    std::string link;
    {
        std::lock_guard lock(m_mutex);
        link = m_link;
    }
    if (!m_pty.Open() || !m_pty.Publish(link)) {
        m_pty.Close();
        std::fprintf(stderr, "tervane-q7-sim: cannot bring the port back at %s\n", link.c_str());
        Pause(200);
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_portPresent = true;
    m_restartAhead = false;
    m_changed.notify_all();
    return true;
}

bool SimulatedQ7::Pause(int ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        pollfd fd = {m_wakeRead, POLLIN, 0};
        const int ready = poll(&fd, 1, Remaining(deadline));
        if (ready > 0)
            return false;
        if (ready == 0)
            return true;
        if (errno != EINTR)
            return true;
    }
}

void SimulatedQ7::Wake()
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(m_wakeWrite, &byte, 1);
}

void SimulatedQ7::DrainWake()
{
    char buffer[64];
    while (read(m_wakeRead, buffer, sizeof buffer) > 0) {
    }
}

void SimulatedQ7::SetFaults(const Faults& faults)
{
    m_device->SetFaults(faults);
}

Faults SimulatedQ7::GetFaults() const
{
    return m_device->GetFaults();
}

void SimulatedQ7::ChangeFaults(const std::function<void(Faults&)>& change)
{
    m_device->ChangeFaults(change);
}

void SimulatedQ7::SetSignalQuality(int quality)
{
    m_device->SetSignalQuality(quality);
}

std::optional<std::string> SimulatedQ7::GetFile(const std::string& path) const
{
    return m_device->File(path);
}

void SimulatedQ7::PutFile(const std::string& path, std::string bytes)
{
    m_device->PutFile(path, std::move(bytes));
}

bool SimulatedQ7::HasFile(const std::string& path) const
{
    return m_device->File(path).has_value();
}

bool SimulatedQ7::RemoveFile(const std::string& path)
{
    return m_device->RemoveFile(path);
}

std::vector<std::string> SimulatedQ7::FilePaths() const
{
    return m_device->FilePaths();
}

std::optional<std::string> SimulatedQ7::Setting(const std::string& path) const
{
    return m_device->Setting(path);
}

bool SimulatedQ7::SetSetting(const std::string& path, std::string value)
{
    return m_device->SetSetting(path, std::move(value));
}

std::optional<std::string> SimulatedQ7::RadioSetting(const std::string& path) const
{
    return m_device->RadioSetting(path);
}

bool SimulatedQ7::SetRadioSetting(const std::string& path, std::string value)
{
    return m_device->SetRadioSetting(path, std::move(value));
}

std::string SimulatedQ7::SettingsXml() const
{
    return m_device->SettingsXml();
}

std::string SimulatedQ7::StateXml() const
{
    return m_device->StateXml();
}

std::string SimulatedQ7::RadioSettingsXml() const
{
    return m_device->RadioSettingsXml();
}

std::string SimulatedQ7::FirmwareVersion() const
{
    return m_device->FirmwareVersion();
}

std::string SimulatedQ7::RadioFirmwareVersion() const
{
    return m_device->RadioFirmwareVersion();
}

std::vector<std::string> SimulatedQ7::ReceivedCommands() const
{
    return m_device->ReceivedCommands();
}

void SimulatedQ7::ClearReceivedCommands()
{
    m_device->ClearReceivedCommands();
}

int SimulatedQ7::UploadCount() const
{
    return m_device->UploadCount();
}

} // namespace tervane::sim
