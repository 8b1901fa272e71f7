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
    pending_.append(bytes);
}

std::string_view SimCommandParser::Unread() const
{
    return std::string_view(pending_).substr(head_);
}

void SimCommandParser::Consume(std::size_t end)
{
    head_ = end;
    if (head_ >= pending_.size()) {
        pending_.clear();
        head_ = 0;
    } else if (head_ > pending_.size() / 2) {
        pending_.erase(0, head_);
        head_ = 0;
    }
    scan_ = head_;
    lineEnd_ = kNone;
    rawStart_ = kNone;
}

std::optional<SimInput> SimCommandParser::Next()
{
    switch (mode_) {
    case Mode::Raw: return NextRaw();
    case Mode::Data: return NextData();
    case Mode::Line: break;
    }
    return NextLine(false);
}

bool SimCommandParser::AwaitingSettle() const
{
    if (mode_ != Mode::Line || head_ == pending_.size() || !IsLineEnd(pending_.back()))
        return false;
    if (lineEnd_ != kNone)
        return true;
    // Only leading empty lines are skipped here; NextLine drops them, so this stays short.
    return std::any_of(pending_.begin() + static_cast<std::ptrdiff_t>(head_), pending_.end(),
                       [](char c) { return !IsLineEnd(c); });
}

std::optional<SimInput> SimCommandParser::Settle()
{
    if (mode_ != Mode::Line)
        return std::nullopt;
    return NextLine(true);
}

std::optional<SimInput> SimCommandParser::NextLine(bool settled)
{
    if (lineEnd_ == kNone) {
        // Empty lines carry no command.
        std::size_t start = head_;
        while (start < pending_.size() && IsLineEnd(pending_[start]))
            ++start;
        if (start != head_)
            Consume(start);
    }
    const std::size_t size = pending_.size();
    if (lineEnd_ == kNone) {
        scan_ = std::max(scan_, head_);
        while (scan_ < size && !IsLineEnd(pending_[scan_]))
            ++scan_;
        if (scan_ == size) {
            if (size - head_ > kMaxLine)
                Consume(size);
            return std::nullopt;
        }
        lineEnd_ = scan_;
    }
    while (scan_ < size && IsLineEnd(pending_[scan_]))
        ++scan_;
    if (scan_ == size && !settled)
        return std::nullopt;

    SimInput input;
    input.kind = SimInput::Kind::Line;
    input.text.assign(pending_, head_, lineEnd_ - head_);
    input.echo.assign(pending_, head_, scan_ - head_);
    Consume(scan_);
    return input;
}

std::optional<SimInput> SimCommandParser::NextRaw()
{
    const std::size_t size = pending_.size();
    if (rawStart_ == kNone) {
        scan_ = std::max(scan_, head_);
        while (scan_ < size && IsBlank(pending_[scan_]))
            ++scan_;
        if (scan_ == size)
            return std::nullopt;
        if (pending_[scan_] != '<') {
            // Not a request after all: take it as commands again.
            mode_ = Mode::Line;
            scan_ = head_;
            return NextLine(false);
        }
        rawStart_ = scan_;
    }
    const std::size_t close = FindCaseless(pending_, kRequestClose, scan_);
    if (close == std::string_view::npos) {
        // The closing tag may have begun in the bytes seen so far.
        scan_ = std::max(rawStart_, size - std::min(size, kRequestClose.size() - 1));
        return std::nullopt;
    }
    const std::size_t end = close + kRequestClose.size();
    SimInput input;
    input.kind = SimInput::Kind::RawRequest;
    input.text.assign(pending_, rawStart_, end - rawStart_);
    input.echo.assign(pending_, head_, end - head_);
    Consume(end);
    mode_ = Mode::Line;
    return input;
}

std::optional<SimInput> SimCommandParser::NextData()
{
    if (pending_.size() - head_ < dataLeft_)
        return std::nullopt;
    SimInput input;
    input.kind = SimInput::Kind::Data;
    input.text.assign(pending_, head_, dataLeft_);
    Consume(head_ + dataLeft_);
    dataLeft_ = 0;
    mode_ = Mode::Line;
    return input;
}

std::optional<SimInput> SimCommandParser::Abandon()
{
    const Mode was = mode_;
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
    mode_ = Mode::Raw;
    Consume(head_);
}

void SimCommandParser::ExpectData(std::size_t count)
{
    mode_ = Mode::Data;
    dataLeft_ = count;
    Consume(head_);
}

void SimCommandParser::Reset()
{
    mode_ = Mode::Line;
    dataLeft_ = 0;
    pending_.clear();
    Consume(0);
}

} // namespace tervane::sim
