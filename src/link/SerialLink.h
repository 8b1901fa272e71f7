#pragma once

#include "Clock.h"
#include "ReadEnd.h"
#include "SerialPort.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tervane {

class CommandLog;
class ProgressSink;
class ResponseSink;

// Bounds of the link's own loops, in milliseconds.
struct LinkLimits {
    // How long a failed write keeps re-opening the port before the write counts as failed.
    uint32_t reopenGiveUpMs = 60000;
    // How long a drain may go on for a device that never falls silent.
    uint32_t drainMaxMs = 5000;
};

// The serial port of the device: open and configured at 115200 8N1, raw, held exclusively.
// Used by one thread at a time: the worker of a progress dialog, or the window's thread
// while no worker runs.
class SerialLink {
public:
    explicit SerialLink(Clock& clock = SystemClock());
    ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    void SetPortName(std::string name);
    std::string PortName() const;
    void SetLog(CommandLog* log);
    CommandLog* Log() const;
    Clock& GetClock() const;
    void SetLimits(LinkLimits limits);

    // Opens and configures the port named by the port name, then drains it.
    bool OpenPort();
    // Opens and configures the port without draining (device discovery).
    bool OpenPortNoDrain();
    // Throws away whatever the device sent that nobody asked for. Always true.
    bool DrainPort();
    // Writes one command byte for byte; "SLEEP..." writes nothing. A port that takes no
    // bytes and a device that is away share one bound (reopenGiveUpMs) for the whole
    // command; false once it has passed.
    bool SendCommand(std::string_view command);
    // Collects the answer into `response` (at most size - 1 bytes) until a final result
    // code, a reconnect (reconnectWait) or the time-out. An answer longer than that keeps
    // its beginning, and its last bytes make way for the final result code that ended it.
    bool ReadResponse(std::string_view command, std::string& response, std::size_t size, int timeoutMs,
        bool reconnectWait, ProgressSink* progress);
    // The same read, handing the answer's bytes to `sink` as they arrive (at most size - 1
    // of them) instead of keeping them: the answer is not held, cleaned or logged. It ends
    // as the other does; LastReadEndedInError tells whether the command failed.
    bool ReadResponse(std::string_view command, ResponseSink& sink, std::size_t size, int timeoutMs,
        ProgressSink* progress);
    // How the last ReadResponse ended.
    ReadEnd LastReadEnd() const;
    // The last ReadResponse ended in the error result code.
    bool LastReadEndedInError() const;
    // Reduces a raw answer to its payload in place, logs it, and tells whether the command
    // failed.
    bool CleanResponse(std::string_view command, std::string& response);
    // Writes raw bytes (file data) and returns once they have left the port, not merely its
    // driver's queue: the number of bytes the port took (fewer when it failed part way), or -1
    // when it took none and failed.
    long WriteRaw(const char* data, std::size_t length);

    void ClosePort();
    bool IsOpen() const;

    // Why the last open of the port failed.
    const OpenFailure& LastOpenFailure() const;

    // Tries to open the port at `path` exactly as OpenPort would, and closes it again.
    static bool CanOpen(const std::string& path, OpenFailure* failure = nullptr);

private:
    bool ReadSome(char* into, std::size_t room, long& got, int waitMs);
    // The read loop of both ReadResponse forms: the bytes within the room go to `keep`.
    template <typename Keep>
    std::string_view ReadLoop(std::string_view command, std::size_t capacity, int timeoutMs, bool reconnectWait,
        ProgressSink* progress, Keep&& keep, bool& overflowed);
    // Writes every byte. Gives up when the port takes nothing for reopenGiveUpMs, or at
    // `deadline` when one is given.
    bool WriteAll(std::string_view bytes, std::size_t* taken, std::optional<uint32_t> deadline);
    // Waits until the port's driver has sent what it was given, within reopenGiveUpMs.
    void WaitOutputSent();

    Clock& m_clock;
    CommandLog* m_log = nullptr;
    LinkLimits m_limits;
    std::string m_portName;
    int m_fd = -1;
    bool m_isTerminal = false; // the port is a terminal, with a driver's output queue
    ReadEnd m_lastReadEnd = ReadEnd::Nothing;
    bool m_lastEndedInError = false;
    // Where reads land before they are kept: never zero-filled, allocated once.
    std::unique_ptr<char[]> m_readBlock;
    OpenFailure m_openFailure;
};

} // namespace tervane
