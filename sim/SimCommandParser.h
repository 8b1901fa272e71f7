#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tervane::sim {

// One thing the device received.
struct SimInput {
    enum class Kind {
        Line,       // an AT command line
        RawRequest, // a bare RCI request after at&usbinterface=22
        Data,       // the raw bytes of an upload
        Abandoned,  // a request or upload that stopped arriving
    };
    Kind kind = Kind::Line;
    // The line without its line end, the request, or the bytes.
    std::string text;
    // What the device echoes: the bytes as they came (nothing for upload data).
    std::string echo;
};

// Cuts the byte stream from the port into inputs. Commands end with CR (CR LF, and any further
// line ends that follow at once, belong to the same command). After at&usbinterface=22 the next
// bytes are a bare request that ends with its closing </rci_request>; during an upload exactly
// the announced number of bytes are data.
class SimCommandParser {
public:
    void Feed(std::string_view bytes);

    // The next complete input, if there is one.
    std::optional<SimInput> Next();

    // A command line is complete but the line ends after it might still be arriving.
    bool AwaitingSettle() const;
    // The port stayed quiet: complete that command line.
    std::optional<SimInput> Settle();

    // A bare request or upload is expected.
    bool InTransfer() const { return m_mode != Mode::Line; }
    // It stopped arriving: back to commands. Gives the Abandoned input when anything of it
    // had come (or an upload was under way); nothing for a bare request that never started.
    std::optional<SimInput> Abandon();

    void ExpectRawRequest();
    void ExpectData(std::size_t count);
    void Reset();

    // A command line longer than this is thrown away.
    static constexpr std::size_t kMaxLine = 4 * 1024 * 1024;

private:
    enum class Mode { Line, Raw, Data };

    std::optional<SimInput> NextLine(bool settled);
    std::optional<SimInput> NextRaw();
    std::optional<SimInput> NextData();
    // The unread bytes.
    std::string_view Unread() const;
    // The bytes before `end` are taken; what follows is the start of the next input.
    void Consume(std::size_t end);

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    Mode m_mode = Mode::Line;
    std::size_t m_dataLeft = 0;
    // Received bytes; those before m_head are taken already. Taken bytes are dropped once
    // they are the larger part, so every byte is moved a bounded number of times.
    std::string m_pending;
    std::size_t m_head = 0;
    // How far the current input has been searched, so that bytes arriving in small pieces
    // are looked at once each: m_scan is the first byte not yet examined, m_lineEnd the end of
    // the command line once found, m_rawStart the "<" that opens a bare request.
    std::size_t m_scan = 0;
    std::size_t m_lineEnd = kNone;
    std::size_t m_rawStart = kNone;
};

} // namespace tervane::sim
