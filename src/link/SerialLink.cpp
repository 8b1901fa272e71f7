#include "SerialLink.h"

#include "CleanResponse.h"
#include "CommandLog.h"
#include "LinkWatcher.h"
#include "NetworkPort.h"
#include "ProgressSink.h"
#include "ResponseSink.h"
#include "SerialPort.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace tervane {

namespace {

// Under the link's time-outs a read waits this long for the first byte.
constexpr int kReadWaitMs = 100;
constexpr std::size_t kDrainBufferSize = 1024;
// The most one read of an answer takes from the port.
constexpr std::size_t kReadBlockSize = 65536;
constexpr std::string_view kOkEnding = "\r\nOK\r\n";
constexpr std::string_view kErrorEnding = "\r\nERROR\r\n";
// Reads of a telnet port that bring only negotiation go on waiting for data, this many times.
constexpr int kTelnetOnlyReads = 16;
// A network server may keep the connection while the device behind it restarts, and tells
// of the restart only by silence: in a reconnect wait this much silence re-connects to see
// whether the port is still there.
constexpr uint32_t kNetworkQuietMs = 2000;
// A serial port whose hang-up reads as silence is re-opened this often in a reconnect wait:
// well within the time a restarting device stays away, so that its absence is seen.
constexpr uint32_t kSilentPortQuietMs = 500;

bool StartsWithSleep(std::string_view command)
{
    return command.substr(0, 5) == "SLEEP";
}

} // namespace

SerialLink::SerialLink(Clock& clock)
    : m_clock(clock)
{
}

SerialLink::~SerialLink()
{
    ClosePort();
}

void SerialLink::SetPortName(std::string name)
{
    m_portName = std::move(name);
}

std::string SerialLink::PortName() const
{
    return m_portName;
}

void SerialLink::SetLog(CommandLog* log)
{
    m_log = log;
}

CommandLog* SerialLink::Log() const
{
    return m_log;
}

Clock& SerialLink::GetClock() const
{
    return m_clock;
}

void SerialLink::SetLimits(LinkLimits limits)
{
    m_limits = limits;
}

void SerialLink::SetWatcher(LinkWatcher* watcher)
{
    m_watcher = watcher;
}

bool SerialLink::Stopping() const
{
    return m_limits.stop != nullptr && m_limits.stop->load();
}

bool SerialLink::IsOpen() const
{
    return m_fd >= 0;
}

bool SerialLink::CheckPresent()
{
    if (m_fd < 0)
        return false;
    if (!PortPresent(m_fd)) {
        ClosePort();
        return false;
    }
    return true;
}

void SerialLink::ClosePort()
{
    CloseSerialPort(m_fd);
    m_fd = -1;
}

const OpenFailure& SerialLink::LastOpenFailure() const
{
    return m_openFailure;
}

bool SerialLink::CanOpen(const std::string& path, OpenFailure* failure)
{
    const int fd = OpenSerialPort(path, failure);
    if (fd < 0)
        return false;
    CloseSerialPort(fd);
    return true;
}

bool SerialLink::OpenPortNoDrain()
{
    ClosePort();
    const auto url = ParsePortUrl(m_portName);
    m_network = IsPortUrl(m_portName);
    m_telnetOn = url && url->scheme == PortUrl::Scheme::Rfc2217;
    m_fd = OpenSerialPort(m_portName, &m_openFailure, m_telnetOn ? &m_telnet : nullptr);
    m_isTerminal = m_fd >= 0 && !m_network && IsSerialPort(m_fd);
    return m_fd >= 0;
}

bool SerialLink::OpenPort()
{
    if (!OpenPortNoDrain())
        return false;
    if (!Drain() && m_network) {
        // A server hangs up at once when it cannot open the port behind it (ser2net while
        // the device is away): the port is not there yet.
        ClosePort();
        m_openFailure = OpenFailure {OpenFailure::Kind::ServerClosed, 0, 0};
        return false;
    }
    return true;
}

// Reads what is waiting, or waits up to `waitMs` for the first byte. False when the port
// is closed or the device went away (hang-up, EIO).
bool SerialLink::ReadSome(char* into, std::size_t room, long& got, int waitMs)
{
    got = 0;
    if (m_fd < 0)
        return false;
    for (int round = 1;; ++round) {
        const long n = ReadPort(m_fd, into, room, waitMs, m_network);
        if (n <= 0)
            return n == 0;
        if (!m_telnetOn) {
            got = n;
            m_unanswered.clear();
            return true;
        }
        std::string reply;
        got = static_cast<long>(m_telnet.Decode(into, static_cast<std::size_t>(n), reply));
        if (!reply.empty())
            WriteWire(reply, nullptr, m_clock.TickCount());
        if (got > 0)
            m_unanswered.clear();
        if (got > 0 || round >= kTelnetOnlyReads)
            return true;
        // Only negotiation: wait on for data as a read of a serial port would.
    }
}

bool SerialLink::WriteAll(std::string_view bytes, std::size_t* taken, std::optional<uint32_t> deadline)
{
    if (!m_telnetOn)
        return WriteWire(bytes, taken, deadline);
    const std::string wire = Rfc2217Codec::Escape(bytes);
    std::size_t wireTaken = 0;
    const bool written = WriteWire(wire, &wireTaken, deadline);
    if (taken)
        *taken = Rfc2217Codec::DataBytesSent(bytes, wireTaken);
    return written;
}

bool SerialLink::WriteWire(std::string_view bytes, std::size_t* taken, std::optional<uint32_t> deadline)
{
    std::size_t done = 0;
    if (taken)
        *taken = 0;
    if (m_fd < 0)
        return false;
    uint32_t lastProgress = m_clock.TickCount();
    while (done < bytes.size()) {
        const long n = WritePort(m_fd, bytes.data() + done, bytes.size() - done, m_network);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            if (taken)
                *taken = done;
            lastProgress = m_clock.TickCount();
            continue;
        }
        if (n < 0)
            return false;
        // The device is not taking bytes: wait for room, but not for ever.
        const uint32_t now = m_clock.TickCount();
        if (TickPassed(now, lastProgress + m_limits.reopenGiveUpMs) || (deadline && TickPassed(now, *deadline)) ||
            Stopping())
            return false;
        if (!WaitPortWritable(m_fd, kReadWaitMs))
            return false;
    }
    return true;
}

long SerialLink::WriteRaw(const char* data, std::size_t length)
{
    m_unanswered.clear();
    std::size_t taken = 0;
    if (!WriteAll(std::string_view(data, length), &taken, std::nullopt) && taken == 0)
        return -1;
    WaitOutputSent();
    return static_cast<long>(taken);
}

void SerialLink::WaitOutputSent()
{
    // A serial port takes the bytes into its driver's queue and sends them afterwards; a device
    // that is busy holds them there. Only a terminal has such a queue: for a network port the
    // count would be the bytes its peer has not acknowledged yet.
    if (m_fd < 0 || !m_isTerminal)
        return;
    constexpr auto kQueueLook = std::chrono::microseconds(100);
    const uint32_t giveUp = m_clock.TickCount() + m_limits.reopenGiveUpMs;
    while (PortOutputQueued(m_fd) > 0 && !TickPassed(m_clock.TickCount(), giveUp))
        std::this_thread::sleep_for(kQueueLook);
}

bool SerialLink::DrainPort()
{
    Drain();
    return true;
}

bool SerialLink::Drain()
{
    char discard[kDrainBufferSize];
    const int quietMs = static_cast<int>(m_clock.QuietWait(kReadWaitMs));
    const uint32_t start = m_clock.TickCount();
    while (m_fd >= 0) {
        // A telnet port purges the server's buffers of the port; a raw TCP port has nothing
        // to purge but the bytes read below.
        if (m_telnetOn)
            WriteWire(Rfc2217Codec::Purge(), nullptr, m_clock.TickCount());
        else if (!m_network)
            PurgePort(m_fd);
        long got = 0;
        if (!ReadSome(discard, sizeof discard, got, quietMs))
            return false;
        if (got == 0)
            break;
        if (TickPassed(m_clock.TickCount(), start + m_limits.drainMaxMs) || Stopping())
            break;
    }
    return m_fd >= 0;
}

bool SerialLink::SendCommand(std::string_view command)
{
    if (StartsWithSleep(command)) {
        DrainPort();
        return true;
    }
    DrainPort();
    // One bound for the whole command: waiting for a port that takes no bytes and
    // re-opening a port that went away both count against it.
    const uint32_t giveUp = m_clock.TickCount() + m_limits.reopenGiveUpMs;
    bool written = WriteAll(command, nullptr, giveUp);
    if (!written && !TickPassed(m_clock.TickCount(), giveUp)) {
        // The device went away: re-open the same port name until it is back, within the
        // bound, and write once more.
        ClosePort();
        while (!OpenPort()) {
            const uint32_t now = m_clock.TickCount();
            if (TickPassed(now, giveUp) || Stopping())
                break;
            if (m_watcher)
                m_watcher->WaitingForDevice(giveUp - now);
            m_clock.Sleep(1000);
        }
        if (IsOpen() && m_watcher)
            m_watcher->DeviceBack();
        written = IsOpen() && WriteAll(command, nullptr, giveUp);
    }
    if (written && m_network)
        m_unanswered = std::string(command);
    if (!written && m_watcher)
        m_watcher->DeviceNotConnected();
    if (m_log)
        m_log->WriteCommand(command);
    m_gaveUp = !written;
    return written;
}

bool SerialLink::GaveUp() const
{
    return m_gaveUp;
}

template <typename Keep>
std::string_view SerialLink::ReadLoop(std::string_view command, std::size_t capacity, int timeoutMs, bool reconnectWait,
    ProgressSink* progress, Keep&& keep, bool& overflowed)
{
    const uint32_t timeout = static_cast<uint32_t>(std::max(timeoutMs, 0));
    const uint32_t start = m_clock.TickCount();
    const uint32_t deadline = start + timeout;
    int counter = progress ? progress->Position() : 0;
    // A pause of one hundredth of the time-out, never a spin.
    const uint32_t pause = std::max<uint32_t>(timeout / 100, 1);
    // Reads land in a block of their own, never cleared, and only the bytes that came are
    // kept: a large receive room for a small answer costs nothing, and the room of a long
    // one is filled by the bytes themselves.
    if (!m_readBlock)
        m_readBlock = std::make_unique_for_overwrite<char[]>(kReadBlockSize);
    char* const block = m_readBlock.get();
    std::size_t received = 0;
    bool anyByte = false;
    overflowed = false;
    // The last bytes received, kept also once the room is full, so that an answer longer
    // than the room still ends at its result code.
    char tail[kErrorEnding.size()];
    std::size_t tailSize = 0;
    std::string_view ending;
    // A command a network server dropped unanswered, to be written again once it is back.
    std::string rewrite;
    uint32_t lastHeard = start;

    std::optional<uint32_t> stopEnd;
    bool done = TickPassed(m_clock.TickCount(), deadline);
    while (!done) {
        long got = 0;
        const bool readable = ReadSome(block, kReadBlockSize, got, kReadWaitMs);
        if (readable) {
            const auto count = static_cast<std::size_t>(got);
            if (count == 0 && progress)
                progress->SetPosition(++counter);
            if (count > 0)
                lastHeard = m_clock.TickCount();
            const std::size_t kept = std::min(count, capacity - received);
            if (kept > 0)
                keep(std::string_view(block, kept));
            received += kept;
            overflowed = overflowed || kept < count;
            anyByte = anyByte || count > 0;
            if (count >= sizeof tail) {
                std::memcpy(tail, block + count - sizeof tail, sizeof tail);
                tailSize = sizeof tail;
            } else if (count > 0) {
                const std::size_t keepOld = std::min(tailSize, sizeof tail - count);
                std::memmove(tail, tail + tailSize - keepOld, keepOld);
                std::memcpy(tail + keepOld, block, count);
                tailSize = keepOld + count;
            }
        } else {
            // A network server that hangs up before any answer came took the command with
            // it (ser2net does when its port went away under it): once the port is back the
            // command is written again, as after a failed write to a serial port.
            if (!reconnectWait && m_network && !m_unanswered.empty() && m_unanswered == command)
                rewrite = m_unanswered;
            m_clock.Sleep(pause);
            if (progress) {
                counter += static_cast<int>((timeout / 100) / 100);
                progress->SetPosition(counter);
            }
            ClosePort();
            if (OpenPort()) {
                if (m_watcher)
                    m_watcher->DeviceBack();
                if (reconnectWait) {
                    m_lastReadEnd = ReadEnd::Reconnected;
                    break;
                }
            } else if (m_watcher) {
                const uint32_t now = m_clock.TickCount();
                m_watcher->WaitingForDevice(TickPassed(now, deadline) ? 0 : deadline - now);
            }
            if (IsOpen() && !rewrite.empty()) {
                if (m_log)
                    m_log->WriteCommand(rewrite);
                if (WriteAll(rewrite, nullptr, deadline))
                    m_unanswered = rewrite;
                rewrite.clear();
                lastHeard = m_clock.TickCount();
            }
        }
        if (reconnectWait && (m_network || PortHangUpMayBeSilent()) && IsOpen() &&
            TickPassed(m_clock.TickCount(), lastHeard + (m_network ? kNetworkQuietMs : kSilentPortQuietMs))) {
            // Silence: re-connect to see whether the port is still there. A server that cannot
            // open it now hangs up, and the failed reads that follow re-connect until it is back;
            // a serial port whose hang-up reads as silence fails to open while the device is away.
            ClosePort();
            OpenPort();
            lastHeard = m_clock.TickCount();
        }
        if (!reconnectWait) {
            const std::string_view t(tail, tailSize);
            if (t.ends_with(kErrorEnding))
                ending = kErrorEnding;
            else if (t.ends_with(kOkEnding))
                ending = kOkEnding;
            if (!ending.empty())
                break;
        }
        const uint32_t now = m_clock.TickCount();
        // After a stop the command ends within the stop's bound, not its own time-out.
        if (!stopEnd && Stopping())
            stopEnd = now + m_limits.stopBoundMs;
        done = TickPassed(now, deadline) || (stopEnd && TickPassed(now, *stopEnd));
    }
    // An answer that was still ending in CR LF ACK CR LF when its time ran out ended well, as
    // the cleaning counts it: the wait is the command's whole time-out all the same.
    static constexpr std::string_view kAckEnding("\r\n\x06\r\n", 5);
    if (!ending.empty() ||
        (m_lastReadEnd != ReadEnd::Reconnected && std::string_view(tail, tailSize).ends_with(kAckEnding)))
        m_lastReadEnd = ReadEnd::ResultCode;
    else if (m_lastReadEnd != ReadEnd::Reconnected)
        m_lastReadEnd = anyByte ? ReadEnd::Unended : ReadEnd::Nothing;
    m_lastEndedInError = ending == kErrorEnding;
    return ending;
}

bool SerialLink::ReadResponse(std::string_view command, std::string& response, std::size_t size, int timeoutMs,
    bool reconnectWait, ProgressSink* progress)
{
    response.clear();
    m_lastReadEnd = ReadEnd::Nothing;
    m_lastEndedInError = false;

    if (StartsWithSleep(command)) {
        const uint32_t timeout = static_cast<uint32_t>(std::max(timeoutMs, 0));
        const uint32_t deadline = m_clock.TickCount() + timeout;
        int counter = progress ? progress->Position() : 0;
        // A pause of one hundredth of the time-out, never a spin.
        const uint32_t pause = std::max<uint32_t>(timeout / 100, 1);
        response = "SLEEP";
        while (!TickPassed(m_clock.TickCount(), deadline) && !Stopping()) {
            m_clock.Sleep(pause);
            if (progress)
                progress->SetPosition(++counter);
        }
        DrainPort();
        m_lastReadEnd = ReadEnd::Sleep;
        return true;
    }

    if (m_fd < 0)
        return false;

    const std::size_t capacity = size > 0 ? size - 1 : 0;
    // The room is reserved but filled only as bytes arrive: a large receive room for a
    // small answer costs address space, not memory, and the answer is never copied to grow.
    std::string buffer;
    buffer.reserve(capacity);
    bool overflowed = false;
    const std::string_view ending = ReadLoop(
        command, capacity, timeoutMs, reconnectWait, progress,
        [&buffer](std::string_view bytes) { buffer.append(bytes); }, overflowed);
    if (overflowed && !ending.empty()) {
        // The beginning of the answer is kept; its last bytes make way for the result code
        // that ended it, which decides whether the command failed.
        buffer.resize(capacity >= ending.size() ? capacity - ending.size() : 0);
        buffer.append(ending.substr(0, capacity - buffer.size()));
    }
    response = std::move(buffer);
    if (m_log)
        m_log->WriteRawResponse(response);
    if (m_watcher) {
        if (!IsOpen())
            m_watcher->DeviceNotConnected();
        else if (m_lastReadEnd == ReadEnd::ResultCode)
            m_watcher->DeviceAnswered();
    }
    return true;
}

bool SerialLink::ReadResponse(std::string_view command, ResponseSink& sink, std::size_t size, int timeoutMs,
    ProgressSink* progress)
{
    if (StartsWithSleep(command)) {
        std::string slept;
        const bool result = ReadResponse(command, slept, size, timeoutMs, false, progress);
        sink.Take(slept);
        return result;
    }
    m_lastReadEnd = ReadEnd::Nothing;
    m_lastEndedInError = false;
    if (m_fd < 0)
        return false;
    bool overflowed = false;
    ReadLoop(
        command, size > 0 ? size - 1 : 0, timeoutMs, false, progress,
        [&sink](std::string_view bytes) { sink.Take(bytes); }, overflowed);
    return true;
}

bool SerialLink::LastReadEndedInError() const
{
    return m_lastEndedInError;
}

ReadEnd SerialLink::LastReadEnd() const
{
    return m_lastReadEnd;
}

bool SerialLink::CleanResponse(std::string_view command, std::string& response)
{
    const bool result = tervane::CleanResponse(command, response);
    if (m_log)
        m_log->WriteCleanedResponse(response);
    return result;
}

} // namespace tervane
