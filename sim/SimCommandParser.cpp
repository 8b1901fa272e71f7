#include "SimCommandParser.h"

#include <algorithm>
#include <cctype>

namespace tervane::sim {

namespace {

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || IsLineEnd(c);
}

constexpr std::string_view kRequestClose = "</rci_request>";

// The first place at or after `from` where `needle` starts, letters compared without case.
std::size_t FindCaseless(std::string_view haystack, std::string_view needle, std::size_t from)
{
    const auto it = std::search(haystack.begin() + static_cast<std::ptrdiff_t>(from), haystack.end(), needle.begin(),
                                needle.end(), [](char a, char b) {
                                    return std::tolower(static_cast<unsigned char>(a))
                                           == std::tolower(static_cast<unsigned char>(b));
                                });
    return it == haystack.end() ? std::string_view::npos : static_cast<std::size_t>(it - haystack.begin());
}

} // namespace

void SimCommandParser::Feed(std::string_view bytes)
{
    m_pending.append(bytes);
}

std::string_view SimCommandParser::Unread() const
{
    return std::string_view(m_pending).substr(m_head);
}

void SimCommandParser::Consume(std::size_t end)
{
    m_head = end;
    if (m_head >= m_pending.size()) {
        m_pending.clear();
        m_head = 0;
    } else if (m_head > m_pending.size() / 2) {
        m_pending.erase(0, m_head);
        m_head = 0;
    }
    m_scan = m_head;
    m_lineEnd = kNone;
    m_rawStart = kNone;
}

std::optional<SimInput> SimCommandParser::Next()
{
    switch (m_mode) {
    case Mode::Raw: return NextRaw();
    case Mode::Data: return NextData();
    case Mode::Line: break;
    }
    return NextLine(false);
}

bool SimCommandParser::AwaitingSettle() const
{
    if (m_mode != Mode::Line || m_head == m_pending.size() || !IsLineEnd(m_pending.back()))
        return false;
    if (m_lineEnd != kNone)
        return true;
    // Only leading empty lines are skipped here; NextLine drops them, so this stays short.
    return std::any_of(m_pending.begin() + static_cast<std::ptrdiff_t>(m_head), m_pending.end(),
                       [](char c) { return !IsLineEnd(c); });
}

std::optional<SimInput> SimCommandParser::Settle()
{
    if (m_mode != Mode::Line)
        return std::nullopt;
    return NextLine(true);
}

std::optional<SimInput> SimCommandParser::NextLine(bool settled)
{
    if (m_lineEnd == kNone) {
        // Empty lines carry no command.
        std::size_t start = m_head;
        while (start < m_pending.size() && IsLineEnd(m_pending[start]))
            ++start;
        if (start != m_head)
            Consume(start);
    }
    const std::size_t size = m_pending.size();
    if (m_lineEnd == kNone) {
        m_scan = std::max(m_scan, m_head);
        while (m_scan < size && !IsLineEnd(m_pending[m_scan]))
            ++m_scan;
        if (m_scan == size) {
            if (size - m_head > kMaxLine)
                Consume(size);
            return std::nullopt;
        }
        m_lineEnd = m_scan;
    }
    while (m_scan < size && IsLineEnd(m_pending[m_scan]))
        ++m_scan;
    if (m_scan == size && !settled)
        return std::nullopt;

    SimInput input;
    input.kind = SimInput::Kind::Line;
    input.text.assign(m_pending, m_head, m_lineEnd - m_head);
    input.echo.assign(m_pending, m_head, m_scan - m_head);
    Consume(m_scan);
    return input;
}

std::optional<SimInput> SimCommandParser::NextRaw()
{
    const std::size_t size = m_pending.size();
    if (m_rawStart == kNone) {
        m_scan = std::max(m_scan, m_head);
        while (m_scan < size && IsBlank(m_pending[m_scan]))
            ++m_scan;
        if (m_scan == size)
            return std::nullopt;
        if (m_pending[m_scan] != '<') {
            // Not a request after all: take it as commands again.
            m_mode = Mode::Line;
            m_scan = m_head;
            return NextLine(false);
        }
        m_rawStart = m_scan;
    }
    const std::size_t close = FindCaseless(m_pending, kRequestClose, m_scan);
    if (close == std::string_view::npos) {
        // The closing tag may have begun in the bytes seen so far.
        m_scan = std::max(m_rawStart, size - std::min(size, kRequestClose.size() - 1));
        return std::nullopt;
    }
    const std::size_t end = close + kRequestClose.size();
    SimInput input;
    input.kind = SimInput::Kind::RawRequest;
    input.text.assign(m_pending, m_rawStart, end - m_rawStart);
    input.echo.assign(m_pending, m_head, end - m_head);
    Consume(end);
    m_mode = Mode::Line;
    return input;
}

std::optional<SimInput> SimCommandParser::NextData()
{
    if (m_pending.size() - m_head < m_dataLeft)
        return std::nullopt;
    SimInput input;
    input.kind = SimInput::Kind::Data;
    input.text.assign(m_pending, m_head, m_dataLeft);
    Consume(m_head + m_dataLeft);
    m_dataLeft = 0;
    m_mode = Mode::Line;
    return input;
}

std::optional<SimInput> SimCommandParser::Abandon()
{
    const Mode was = m_mode;
    const std::string_view unread = Unread();
    const bool started = std::any_of(unread.begin(), unread.end(), [](char c) { return !IsBlank(c); });
    SimInput input;
    input.kind = SimInput::Kind::Abandoned;
    input.text.assign(unread);
    Reset();
    if (was == Mode::Data || (was == Mode::Raw && started))
        return input;
    return std::nullopt;
}

void SimCommandParser::ExpectRawRequest()
{
    m_mode = Mode::Raw;
    Consume(m_head);
}

void SimCommandParser::ExpectData(std::size_t count)
{
    m_mode = Mode::Data;
    m_dataLeft = count;
    Consume(m_head);
}

void SimCommandParser::Reset()
{
    m_mode = Mode::Line;
    m_dataLeft = 0;
    m_pending.clear();
    Consume(0);
}

} // namespace tervane::sim
