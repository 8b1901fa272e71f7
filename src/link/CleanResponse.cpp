#include "CleanResponse.h"
#include "CleanResponseWindows.h"

#include <algorithm>
#include <cstring>

// The cleaning reads the answer once, front to back, through three stages:
//
//   PrintSpans  removes the <pyPrint> spans. It may look ahead in the answer for a closing tag,
//               and hands on each part of its result as soon as no later removal can take it back.
//   UsbSpans    removes the <usb> spans from what the first stage hands on. It cannot look ahead,
//               so what follows an opening tag is passed on at once and taken back if a closing
//               tag comes.
//   Payload     writes the text that is left at its final place: it matches the echo of the
//               command and skips the blanks after it before anything is written, and cuts the
//               result code and the blanks at the end once the text is complete.
//
// Every stage writes at or before the place where it reads, so the answer can be cleaned where it
// lies; large parts go through in windows, so the later stages work on what the first has just
// read and each byte comes from memory once.

namespace tervane {

namespace {

constexpr std::string_view kPrintOpen = "<pyPrint>";
constexpr std::string_view kPrintClose = "</pyPrint>";
constexpr std::string_view kUsbOpen = "<usb>";
constexpr std::string_view kUsbClose = "</usb>";

bool IsTrimmed(char c)
{
    return c == ' ' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsTrimmed(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back()))
        text.remove_suffix(1);
    return text;
}

// The last '<' among a few characters, or null.
const char* LastOpening(const char* from, std::size_t count)
{
    for (const char* at = from + count; at != from;) {
        if (*--at == '<')
            return at;
    }
    return nullptr;
}

// Receives the answer with both kinds of span removed (the "text" below) and writes what is kept
// of it to `out`. Only the end of the text can be taken back (Truncate), to just before a '<'.
class Payload {
public:
    Payload(char* out, std::string_view command)
        : m_out(out)
        , m_command(command)
        , m_echo(command.empty() ? Echo::Matched : Echo::Matching)
    {
    }

    std::size_t Size() const { return m_size; }

    // One of the last eight characters of the text.
    char At(std::size_t at) const
    {
        if (at < KnownFromCommand())
            return m_command[at];
        const std::size_t bodyStart = BodyStart();
        if (at < bodyStart)
            return m_blanks[sizeof m_blanks - (bodyStart - at)];
        return m_out[at - bodyStart];
    }

    void Append(const char* data, std::size_t count)
    {
        if (m_echo == Echo::Matching) {
            const std::size_t wanted = m_command.size() - m_size;
            const std::size_t compared = std::min(count, wanted);
            const char* const differs = std::mismatch(data, data + compared, m_command.data() + m_size).first;
            const auto matched = static_cast<std::size_t>(differs - data);
            if (matched == compared && compared < wanted) {
                m_size += count;
                return;
            }
            if (matched == wanted) {
                m_echo = Echo::Matched;
                m_size = m_command.size();
            } else {
                // Not the echo: what came so far is the command's beginning, and it is kept.
                m_echo = Echo::Differs;
                m_differsAt = m_size + matched;
                m_size = 0;
                AppendBody(m_command.data(), m_differsAt);
            }
            data += matched;
            count -= matched;
        }
        AppendBody(data, count);
    }

    void Truncate(std::size_t size)
    {
        if (m_echo == Echo::Matching) {
            m_size = size;
            return;
        }
        if (size < KnownFromCommand() || (m_echo == Echo::Differs && size == m_differsAt)) {
            // The text is again a beginning of the command: the echo is open again.
            m_echo = Echo::Matching;
            m_size = size;
            m_blankCount = 0;
            m_written = 0;
            return;
        }
        // A tag starts with '<', never a blank, so the cut is at or after the body's start.
        m_written = size - BodyStart();
        m_size = size;
    }

    // Cuts the result code and the trailing blanks; returns the length of the payload, which
    // starts at `out`, and whether the answer ended in the error result code.
    std::size_t Finish(bool& succeeded)
    {
        static constexpr char kAckEnding[] = {'\r', '\n', 6, '\r', '\n'};
        std::size_t cut = 0;
        succeeded = true;
        if (EndsWith("OK\r\n"))
            cut = 4;
        else if (EndsWith("SLEEP"))
            cut = 5;
        else if (EndsWith("ERROR\r\n")) {
            cut = 7;
            succeeded = false;
        } else if (EndsWith(std::string_view(kAckEnding, sizeof kAckEnding)))
            cut = 5;
        const std::size_t end = m_size - cut;

        if (m_echo == Echo::Matching || (m_echo == Echo::Matched && m_command.size() > end)) {
            // What is left before the result code is shorter than the command and begins it,
            // so it is no echo and it is kept: it is the command's own beginning.
            const std::string_view kept = Trimmed(m_command.substr(0, end));
            std::memmove(m_out, kept.data(), kept.size());
            return kept.size();
        }
        const std::size_t bodyStart = BodyStart();
        if (m_written == 0 || end <= bodyStart)
            return 0;
        std::size_t length = end - bodyStart;
        while (IsTrimmed(m_out[length - 1]))
            --length;
        return length;
    }

private:
    enum class Echo {
        Matching, // the text so far is a beginning of the command; nothing is written
        Matched,  // the text begins with the command
        Differs,  // the text differs from the command at m_differsAt
    };

    // The text's first characters, which are the command's.
    std::size_t KnownFromCommand() const
    {
        switch (m_echo) {
        case Echo::Matching:
            return m_size;
        case Echo::Matched:
            return m_command.size();
        case Echo::Differs:
            return m_differsAt;
        }
        return 0;
    }

    std::size_t EchoEnd() const { return m_echo == Echo::Matched ? m_command.size() : 0; }
    std::size_t BodyStart() const { return EchoEnd() + m_blankCount; }

    bool EndsWith(std::string_view ending) const
    {
        if (m_size < ending.size())
            return false;
        for (std::size_t i = 0; i < ending.size(); ++i) {
            if (At(m_size - ending.size() + i) != ending[i])
                return false;
        }
        return true;
    }

    // Past the echo: blanks before the first other character are counted, not written.
    void AppendBody(const char* data, std::size_t count)
    {
        if (m_written == 0) {
            std::size_t blanks = 0;
            while (blanks < count && IsTrimmed(data[blanks]))
                ++blanks;
            NoteBlanks(data, blanks);
            data += blanks;
            count -= blanks;
            if (count == 0)
                return;
        }
        if (m_out + m_written != data)
            std::memmove(m_out + m_written, data, count);
        m_written += count;
        m_size += count;
    }

    // The result code is read from the text's end, which may lie among the skipped blanks.
    void NoteBlanks(const char* data, std::size_t count)
    {
        constexpr std::size_t kept = sizeof m_blanks;
        if (count >= kept) {
            std::memcpy(m_blanks, data + count - kept, kept);
        } else if (count > 0) {
            std::memmove(m_blanks, m_blanks + count, kept - count);
            std::memcpy(m_blanks + kept - count, data, count);
        }
        m_blankCount += count;
        m_size += count;
    }

    char* const m_out;
    const std::string_view m_command;
    Echo m_echo;
    std::size_t m_size = 0;       // length of the text so far
    std::size_t m_differsAt = 0;  // with Echo::Differs
    std::size_t m_blankCount = 0; // blanks skipped after the echo
    char m_blanks[8] = {};        // the last of them
    std::size_t m_written = 0;    // the text from its body's start on, at m_out
};

// Removes each span from an opening tag through the first closing tag after it, as if the first
// such span were removed again and again: an opening tag that forms where two pieces meet counts
// too. Sees the text only piece by piece: what follows an opening tag is passed on and taken back
// when the closing tag comes.
class UsbSpans {
public:
    explicit UsbSpans(Payload& next)
        : m_next(next)
    {
    }

    void Feed(const char* data, std::size_t count)
    {
        while (count > 0) {
            const std::size_t used = m_inSpan ? ThroughTag(kUsbClose, m_openAt + kUsbOpen.size(), data, count)
                                              : ThroughTag(kUsbOpen, 0, data, count);
            if (used == 0) {
                m_next.Append(data, count);
                return;
            }
            if (m_inSpan) {
                m_next.Truncate(m_openAt);
            } else {
                m_next.Append(data, used);
                m_openAt = m_next.Size() - kUsbOpen.size();
            }
            m_inSpan = !m_inSpan;
            data += used;
            count -= used;
        }
    }

private:
    // When the text passed on so far (from `from` on) ends with a beginning of `tag` and `data`
    // starts with the rest of it: the length of that rest, else 0. A tag holds '<' only at its
    // start, so only the last '<' can begin it.
    std::size_t TagAcrossTheJoin(std::string_view tag, std::size_t from, const char* data, std::size_t count) const
    {
        const std::size_t size = m_next.Size();
        const std::size_t longest = std::min(tag.size() - 1, size - from);
        for (std::size_t begun = 1; begun <= longest; ++begun) {
            if (m_next.At(size - begun) != '<')
                continue;
            const std::size_t rest = tag.size() - begun;
            if (count < rest || std::memcmp(data, tag.data() + begun, rest) != 0)
                return 0;
            for (std::size_t i = 1; i < begun; ++i) {
                if (m_next.At(size - begun + i) != tag[i])
                    return 0;
            }
            return rest;
        }
        return 0;
    }

    // How much of `data` goes up to the end of the first `tag` in the text passed on so far
    // (from `from` on) followed by `data`, else 0.
    std::size_t ThroughTag(std::string_view tag, std::size_t from, const char* data, std::size_t count) const
    {
        if (const std::size_t rest = TagAcrossTheJoin(tag, from, data, count); rest > 0)
            return rest;
        const std::size_t found = std::string_view(data, count).find(tag);
        return found == std::string_view::npos ? 0 : found + tag.size();
    }

    Payload& m_next;
    bool m_inSpan = false;
    std::size_t m_openAt = 0;
};

// The same removal for the print spans, over the whole answer, which it may read ahead. Its
// result is the "kept text" below; the kept text is handed on once no later removal can take
// it back. Only an end made of beginnings of an opening tag ("<py<pyPr") can be taken back: a
// removal after it can join the last of them to what follows, and again. That end is held back
// at its place in `out`.
class PrintSpans {
public:
    PrintSpans(const char* answer, std::size_t size, char* out, std::size_t window, UsbSpans& next)
        : m_answer(answer)
        , m_answerSize(size)
        , m_out(out)
        , m_window(std::max<std::size_t>(window, 1))
        , m_next(next)
    {
    }

    void Run()
    {
        const std::string_view answer(m_answer, m_answerSize);
        std::size_t at = 0; // read position in the answer
        while (at < m_answerSize) {
            std::size_t openAt = 0;  // in the kept text
            std::size_t openEnd = 0; // in the answer
            if (const std::size_t rest = HeldTagRest(at); rest > 0) {
                openAt = m_size - (kPrintOpen.size() - rest);
                openEnd = at + rest;
            } else {
                const std::size_t windowEnd = std::min(m_answerSize, at + m_window);
                const std::size_t searchEnd = std::min(m_answerSize, windowEnd + kPrintOpen.size() - 1);
                const std::size_t found = answer.substr(at, searchEnd - at).find(kPrintOpen);
                if (found == std::string_view::npos) {
                    Keep(m_answer + at, windowEnd - at);
                    at = windowEnd;
                    continue;
                }
                Keep(m_answer + at, found);
                at += found;
                openAt = m_size;
                openEnd = at + kPrintOpen.size();
            }
            const std::size_t close = answer.find(kPrintClose, openEnd);
            if (close == std::string_view::npos) {
                // No span closes any more: all the rest is kept as it is.
                PassHeld();
                for (; at < m_answerSize; at += m_window)
                    m_next.Feed(m_answer + at, std::min(m_window, m_answerSize - at));
                return;
            }
            m_size = openAt;
            at = close + kPrintClose.size();
        }
        PassHeld();
    }

private:
    // The held back end begins an opening tag and the answer at `at` completes it: the length
    // of the completing part, else 0.
    std::size_t HeldTagRest(std::size_t at) const
    {
        if (m_final == m_size)
            return 0;
        const std::size_t begun = m_size - LastHeldSegment();
        const std::size_t rest = kPrintOpen.size() - begun;
        if (m_answerSize - at < rest || std::memcmp(m_answer + at, kPrintOpen.data() + begun, rest) != 0)
            return 0;
        return rest;
    }

    // Where the last beginning of a tag in the held back end starts.
    std::size_t LastHeldSegment() const
    {
        const std::size_t from = std::max(m_final, m_size - std::min(m_size, kPrintOpen.size() - 1));
        return static_cast<std::size_t>(LastOpening(m_out + from, m_size - from) - m_out);
    }

    // Adds `count` characters at `data` to the kept text; they hold no whole opening tag.
    void Keep(const char* data, std::size_t count)
    {
        if (count == 0)
            return;
        const std::size_t held = HeldFrom(data, count);
        if (held > m_final) {
            if (const std::size_t stored = std::min(held, m_size) - m_final; stored > 0)
                m_next.Feed(m_out + m_final, stored);
            if (held > m_size)
                m_next.Feed(data, held - m_size);
            m_final = held;
        }
        const std::size_t storeFrom = std::max(held, m_size);
        const std::size_t newSize = m_size + count;
        if (storeFrom < newSize && m_out + storeFrom != data + (storeFrom - m_size))
            std::memmove(m_out + storeFrom, data + (storeFrom - m_size), newSize - storeFrom);
        m_size = newSize;
    }

    // Where the held back end starts once `count` characters at `data` are added: the longest
    // end of the kept text made only of beginnings of the opening tag, one after another.
    std::size_t HeldFrom(const char* data, std::size_t count) const
    {
        constexpr std::size_t longest = kPrintOpen.size() - 1;
        // Segment by segment back from the end; `end` is where the segment under test ends.
        std::size_t end = count;
        for (;;) {
            const std::size_t look = std::min(end, longest);
            const char* const opening = LastOpening(data + end - look, look);
            if (opening == nullptr) {
                if (end >= longest)
                    return m_size + end;
                // The segment began in the kept text: it goes on from the held back end's last.
                if (m_final == m_size)
                    return m_size + end;
                const std::size_t segment = LastHeldSegment();
                const std::size_t length = m_size + end - segment;
                if (length <= longest && std::memcmp(data, kPrintOpen.data() + (m_size - segment), end) == 0)
                    return m_final;
                return m_size + end;
            }
            const auto begin = static_cast<std::size_t>(opening - data);
            if (std::memcmp(opening, kPrintOpen.data(), end - begin) != 0)
                return m_size + end;
            if (begin == 0)
                return m_final;
            end = begin;
        }
    }

    void PassHeld()
    {
        if (m_size > m_final)
            m_next.Feed(m_out + m_final, m_size - m_final);
        m_final = m_size;
    }

    const char* const m_answer;
    const std::size_t m_answerSize;
    char* const m_out;
    const std::size_t m_window;
    UsbSpans& m_next;
    std::size_t m_size = 0;  // length of the kept text
    std::size_t m_final = 0; // the kept text before this is handed on; after it, it is held back
};

bool Clean(std::string_view command, const char* answer, std::size_t size, char* out, std::size_t window,
    std::size_t& length)
{
    Payload payload(out, command);
    UsbSpans usb(payload);
    PrintSpans(answer, size, out, window, usb).Run();
    bool succeeded = true;
    length = payload.Finish(succeeded);
    return succeeded;
}

} // namespace

bool CleanResponseInWindows(std::string_view command, std::string& text, std::size_t window)
{
    std::size_t length = 0;
    const bool result = Clean(command, text.data(), text.size(), text.data(), window, length);
    text.resize(length);
    return result;
}

bool CleanResponseInWindows(std::string_view command, std::string_view raw, std::string& cleaned, std::size_t window)
{
    // The output's storage is kept from call to call: no allocation once it is large enough.
    cleaned.assign(raw);
    return CleanResponseInWindows(command, cleaned, window);
}

bool CleanResponse(std::string_view command, std::string& text)
{
    return CleanResponseInWindows(command, text, kCleanResponseWindow);
}

bool CleanResponse(std::string_view command, std::string_view raw, std::string& cleaned)
{
    return CleanResponseInWindows(command, raw, cleaned, kCleanResponseWindow);
}

} // namespace tervane
