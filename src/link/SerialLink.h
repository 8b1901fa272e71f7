#pragma once

#include "Clock.h"
#include "LinkTurns.h"
#include "ReadEnd.h"
#include "Rfc2217Codec.h"
#include "SerialPort.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tervane {

class CommandLog;
class LinkWatcher;
class ProgressSink;
class ResponseSink;

// Bounds of the link's own loops, in milliseconds.
struct LinkLimits {
    // How long a failed write keeps re-opening the port before the write counts as failed.
    uint32_t reopenGiveUpMs = 60000;
    // How long a drain may go on for a device that never falls silent.
    uint32_t drainMaxMs = 5000;
    // A stop the user asked for (Ctrl-C), or none. Once it is true the command under way
    // ends within stopBoundMs, whatever its own time-out, and no drain or re-open goes on.
    const std::atomic<bool>* stop = nullptr;
    uint32_t stopBoundMs = 3000;
};

// The serial port of the device: open and configured at 115200 8N1, raw, held exclusively.
// Used by one thread at a time: the worker of a progress dialog, or the window's thread
// while no worker runs, or a signal poll; Turns() says whose turn it is.
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
    // Who hears of the device going away, coming back and answering; none by default. Set
    // while no worker uses the link.
    void SetWatcher(LinkWatcher* watcher);

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
    // Whether the last SendCommand gave up: the device was away (or took no bytes) for the
    // whole bound. A later command that is written clears it.
    bool GaveUp() const;
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
    // Whether the port is open and the device has not hung up under it, without waiting;
    // a port that hung up is closed.
    bool CheckPresent();

    // The turns of the workers and the signal poll on this link.
    LinkTurns& Turns() { return m_turns; }

    // Why the last open of the port failed.
    const OpenFailure& LastOpenFailure() const;

    // Tries to open the port at `path` exactly as OpenPort would, and closes it again.
    static bool CanOpen(const std::string& path, OpenFailure* failure = nullptr);

private:
    bool ReadSome(char* into, std::size_t room, long& got, int waitMs);
    // Whether a stop has been asked (LinkLimits::stop).
    bool Stopping() const;
    // The read loop of both ReadResponse forms: the bytes within the room go to `keep`.
    template <typename Keep>
    std::string_view ReadLoop(std::string_view command, std::size_t capacity, int timeoutMs, bool reconnectWait,
        ProgressSink* progress, Keep&& keep, bool& overflowed);
    // Writes every byte of data (escaped on a telnet port). Gives up when the port takes
    // nothing for reopenGiveUpMs, or at `deadline` when one is given.
    bool WriteAll(std::string_view bytes, std::size_t* taken, std::optional<uint32_t> deadline);
    // Writes bytes to the port as they are.
    bool WriteWire(std::string_view bytes, std::size_t* taken, std::optional<uint32_t> deadline);
    // DrainPort; false when the port went away meanwhile.
    bool Drain();
    // Waits until the port's driver has sent what it was given, within reopenGiveUpMs.
    void WaitOutputSent();

    Clock& m_clock;
    CommandLog* m_log = nullptr;
    // Set from the window's thread while start-up's query may already run on the link.
    std::atomic<LinkWatcher*> m_watcher {nullptr};
    LinkLimits m_limits;
    std::string m_portName;
    int m_fd = -1;
    // The port is served over the network, and in telnet with the Com Port option.
    bool m_network = false;
    bool m_telnetOn = false;
    Rfc2217Codec m_telnet;
    // The last command written to a network port while no byte has come back since.
    std::string m_unanswered;
    ReadEnd m_lastReadEnd = ReadEnd::Nothing;
    bool m_gaveUp = false;
    bool m_isTerminal = false; // the port is a terminal, with a driver's output queue
    bool m_lastEndedInError = false;
    // Where reads land before they are kept: never zero-filled, allocated once.
    std::unique_ptr<char[]> m_readBlock;
    OpenFailure m_openFailure;
    LinkTurns m_turns;
};

} // namespace tervane
