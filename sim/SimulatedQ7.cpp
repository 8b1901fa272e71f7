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
    : config_(std::move(config))
{
    xmlInitParser();
    device_ = std::make_unique<SimDevice>(config_);
}

SimulatedQ7::~SimulatedQ7()
{
    Stop();
}

bool SimulatedQ7::Start(std::string linkPath)
{
    std::lock_guard lock(mutex_);
    if (running_)
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
    if (!pty_.Open() || !pty_.Publish(linkPath)) {
        pty_.Close();
        close(wake[0]);
        close(wake[1]);
        if (!ownDir.empty())
            rmdir(ownDir.c_str());
        return false;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    link_ = linkPath;
    ownDir_ = ownDir;
    parser_.Reset();
    stopRequested_ = false;
    restartsTaken_ = restartsRequested_;
    portPresent_ = true;
    running_ = true;
    thread_ = std::thread(&SimulatedQ7::Serve, this);
    return true;
}

void SimulatedQ7::Stop()
{
    {
        std::lock_guard lock(mutex_);
        if (!running_ || stopRequested_)
            return;
        stopRequested_ = true;
        Wake();
    }
    thread_.join();
    pty_.Close();
    std::lock_guard lock(mutex_);
    struct stat info{};
    if (lstat(link_.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        unlink(link_.c_str());
    if (!ownDir_.empty())
        rmdir(ownDir_.c_str());
    ownDir_.clear();
    close(wakeRead_);
    close(wakeWrite_);
    wakeRead_ = wakeWrite_ = -1;
    portPresent_ = false;
    running_ = false;
    changed_.notify_all();
}

bool SimulatedQ7::IsRunning() const
{
    std::lock_guard lock(mutex_);
    return running_;
}

std::string SimulatedQ7::PortPath() const
{
    std::lock_guard lock(mutex_);
    return link_;
}

bool SimulatedQ7::PortPresent() const
{
    std::lock_guard lock(mutex_);
    return portPresent_;
}

bool SimulatedQ7::WaitForPort(int timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return portPresent_; });
}

void SimulatedQ7::Restart(int delayMs)
{
    std::unique_lock lock(mutex_);
    if (!running_ || stopRequested_)
        return;
    const std::uint64_t ticket = ++restartsRequested_;
    requestedDelayMs_ = delayMs;
    Wake();
    changed_.wait(lock, [&] { return restartsTaken_ >= ticket || !running_; });
}

int SimulatedQ7::RestartCount() const
{
    std::lock_guard lock(mutex_);
    return restarts_;
}

void SimulatedQ7::Serve()
{
    for (;;) {
        bool restart = false;
        int delayMs = 0;
        {
            std::lock_guard lock(mutex_);
            if (stopRequested_)
                return;
            if (restartsRequested_ > restartsTaken_) {
                restart = true;
                delayMs = requestedDelayMs_;
            }
        }
        if (restart) {
            if (pty_.IsOpen())
                GoAway();
            {
                std::lock_guard lock(mutex_);
                restartsTaken_ = restartsRequested_;
                changed_.notify_all();
            }
            StayAway(delayMs + device_->GetFaults().slowRestartMs);
            continue;
        }
        if (!pty_.IsOpen()) {
            ComeBack();
            continue;
        }

        int timeout = -1;
        if (parser_.AwaitingSettle())
            timeout = kSettleMs;
        else if (parser_.InTransfer())
            timeout = config_.transferIdleMs;
        pollfd fds[2] = {{pty_.Master(), POLLIN, 0}, {wakeRead_, POLLIN, 0}};
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
            auto input = parser_.AwaitingSettle() ? parser_.Settle() : parser_.Abandon();
            if (input && !Process(*input))
                continue;
        } else if ((fds[0].revents & POLLIN) != 0) {
            char buffer[65536];
            const ssize_t count = read(pty_.Master(), buffer, sizeof buffer);
            if (count > 0)
                parser_.Feed(std::string_view(buffer, static_cast<std::size_t>(count)));
        } else {
            // A hang-up or error on our own master: nothing to read, so do not spin on it.
            Pause(50);
            continue;
        }
        while (auto input = parser_.Next()) {
            if (!Process(*input))
                break;
        }
    }
}

bool SimulatedQ7::Process(const SimInput& input)
{
    const SimReply reply = device_->Handle(input);
    if (reply.then == SimReply::Then::ExpectRawRequest)
        parser_.ExpectRawRequest();
    else if (reply.then == SimReply::Then::ExpectData)
        parser_.ExpectData(reply.dataBytes);
    if (reply.result == SimReply::Result::None)
        return true;

    const Faults faults = device_->GetFaults();
    const std::string answer = Compose(input, reply, faults);
    if (!Pause(config_.answerDelayMs))
        return false;
    if (device_->TakeHangUp()) {
        WriteToPort(std::string_view(answer).substr(0, answer.size() / 2));
        RestartFromDevice();
        return false;
    }
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
    for (const std::string& part : faults.unendedFor) {
        if (echoed && !part.empty() && input.text.find(part) != std::string::npos)
            terminator.clear();
    }
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
        const ssize_t written = write(pty_.Master(), bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            return true; // the port is broken; the answer is lost like on a pulled cable
        pollfd fds[2] = {{pty_.Master(), POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
        const int ready = poll(fds, 2, kWriteStallMs);
        if (ready > 0 && fds[1].revents != 0)
            return false;
        if (ready == 0) {
            // Nobody reads the port: old answers are lost, as in a modem's full buffer.
            if (++stalls > 2)
                return true;
            pty_.DiscardUnread();
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
    while (pty_.UnreadByProgram() > 0 && Clock::now() < deadline) {
        if (!Pause(1))
            return;
    }
}

void SimulatedQ7::RestartFromDevice()
{
    WaitUntilRead();
    GoAway();
    StayAway(config_.restartDelayMs + device_->GetFaults().slowRestartMs);
}

void SimulatedQ7::GoAway()
{
    std::string link;
    {
        // Marked first: whoever sees the hang-up must not find the port still reported present.
        std::lock_guard lock(mutex_);
        link = link_;
        portPresent_ = false;
        ++restarts_;
        changed_.notify_all();
    }
    unlink(link.c_str());
    pty_.Close();
    parser_.Reset();
    device_->Restarted();
}

bool SimulatedQ7::StayAway(int delayMs)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(delayMs);
    for (;;) {
        if (Pause(Remaining(deadline)))
            return true;
        DrainWake();
        std::lock_guard lock(mutex_);
        if (stopRequested_)
            return false;
        if (restartsRequested_ > restartsTaken_) {
            // Restarted again while away: the new delay counts from now.
            restartsTaken_ = restartsRequested_;
            deadline = Clock::now() + std::chrono::milliseconds(requestedDelayMs_);
            changed_.notify_all();
        }
    }
}

bool SimulatedQ7::ComeBack()
{
    std::string link;
    {
        std::lock_guard lock(mutex_);
        link = link_;
    }
    if (!pty_.Open() || !pty_.Publish(link)) {
        pty_.Close();
        std::fprintf(stderr, "tervane-q7-sim: cannot bring the port back at %s\n", link.c_str());
        Pause(200);
        return false;
    }
    std::lock_guard lock(mutex_);
    portPresent_ = true;
    changed_.notify_all();
    return true;
}

bool SimulatedQ7::Pause(int ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        pollfd fd = {wakeRead_, POLLIN, 0};
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
    [[maybe_unused]] const ssize_t ignored = write(wakeWrite_, &byte, 1);
}

void SimulatedQ7::DrainWake()
{
    char buffer[64];
    while (read(wakeRead_, buffer, sizeof buffer) > 0) {
    }
}

void SimulatedQ7::SetFaults(const Faults& faults)
{
    device_->SetFaults(faults);
}

Faults SimulatedQ7::GetFaults() const
{
    return device_->GetFaults();
}

void SimulatedQ7::ChangeFaults(const std::function<void(Faults&)>& change)
{
    device_->ChangeFaults(change);
}

void SimulatedQ7::SetSignalQuality(int quality)
{
    device_->SetSignalQuality(quality);
}

std::optional<std::string> SimulatedQ7::GetFile(const std::string& path) const
{
    return device_->File(path);
}

void SimulatedQ7::PutFile(const std::string& path, std::string bytes)
{
    device_->PutFile(path, std::move(bytes));
}

bool SimulatedQ7::HasFile(const std::string& path) const
{
    return device_->File(path).has_value();
}

bool SimulatedQ7::RemoveFile(const std::string& path)
{
    return device_->RemoveFile(path);
}

std::vector<std::string> SimulatedQ7::FilePaths() const
{
    return device_->FilePaths();
}

std::optional<std::string> SimulatedQ7::Setting(const std::string& path) const
{
    return device_->Setting(path);
}

bool SimulatedQ7::SetSetting(const std::string& path, std::string value)
{
    return device_->SetSetting(path, std::move(value));
}

std::optional<std::string> SimulatedQ7::RadioSetting(const std::string& path) const
{
    return device_->RadioSetting(path);
}

bool SimulatedQ7::SetRadioSetting(const std::string& path, std::string value)
{
    return device_->SetRadioSetting(path, std::move(value));
}

std::string SimulatedQ7::SettingsXml() const
{
    return device_->SettingsXml();
}

std::string SimulatedQ7::StateXml() const
{
    return device_->StateXml();
}

std::string SimulatedQ7::RadioSettingsXml() const
{
    return device_->RadioSettingsXml();
}

std::string SimulatedQ7::FirmwareVersion() const
{
    return device_->FirmwareVersion();
}

std::string SimulatedQ7::RadioFirmwareVersion() const
{
    return device_->RadioFirmwareVersion();
}

std::vector<std::string> SimulatedQ7::ReceivedCommands() const
{
    return device_->ReceivedCommands();
}

void SimulatedQ7::ClearReceivedCommands()
{
    device_->ClearReceivedCommands();
}

int SimulatedQ7::UploadCount() const
{
    return device_->UploadCount();
}

} // namespace tervane::sim
