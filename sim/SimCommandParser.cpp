#include "SimCommandParser.h"

#include <algorithm>
#include <cctype>

namespace tervane::sim {

namespace {

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

std::size_t FindCaseless(const std::string& haystack, std::string_view needle, std::size_t from)
{
    const auto it = std::search(haystack.begin() + static_cast<std::ptrdiff_t>(from), haystack.end(), needle.begin(),
                                needle.end(), [](char a, char b) {
                                    return std::tolower(static_cast<unsigned char>(a))
                                           == std::tolower(static_cast<unsigned char>(b));
                                });
    return it == haystack.end() ? std::string::npos : static_cast<std::size_t>(it - haystack.begin());
}

} // namespace

void SimCommandParser::Feed(std::string_view bytes)
{
    pending_.append(bytes);
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
    return mode_ == Mode::Line && !pending_.empty() && IsLineEnd(pending_.back())
           && std::any_of(pending_.begin(), pending_.end(), [](char c) { return !IsLineEnd(c); });
}

std::optional<SimInput> SimCommandParser::Settle()
{
    if (mode_ != Mode::Line)
        return std::nullopt;
    return NextLine(true);
}

std::optional<SimInput> SimCommandParser::NextLine(bool settled)
{
    // Empty lines carry no command.
    const auto start = std::find_if(pending_.begin(), pending_.end(), [](char c) { return !IsLineEnd(c); });
    pending_.erase(pending_.begin(), start);

    const auto end = std::find_if(pending_.begin(), pending_.end(), IsLineEnd);
    if (end == pending_.end()) {
        if (pending_.size() > kMaxLine)
            pending_.clear();
        return std::nullopt;
    }
    const auto after = std::find_if(end, pending_.end(), [](char c) { return !IsLineEnd(c); });
    if (after == pending_.end() && !settled)
        return std::nullopt;

    SimInput input;
    input.kind = SimInput::Kind::Line;
    input.text.assign(pending_.begin(), end);
    input.echo.assign(pending_.begin(), after);
    pending_.erase(pending_.begin(), after);
    return input;
}

std::optional<SimInput> SimCommandParser::NextRaw()
{
    const auto first = pending_.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    if (pending_[first] != '<') {
        // Not a request after all: take it as commands again.
        mode_ = Mode::Line;
        return NextLine(false);
    }
    static constexpr std::string_view kClose = "</rci_request>";
    const auto close = FindCaseless(pending_, kClose, first);
    if (close == std::string::npos)
        return std::nullopt;
    const std::size_t end = close + kClose.size();
    SimInput input;
    input.kind = SimInput::Kind::RawRequest;
    input.text = pending_.substr(first, end - first);
    input.echo = pending_.substr(0, end);
    pending_.erase(0, end);
    mode_ = Mode::Line;
    return input;
}

std::optional<SimInput> SimCommandParser::NextData()
{
    if (pending_.size() < dataLeft_)
        return std::nullopt;
    SimInput input;
    input.kind = SimInput::Kind::Data;
    input.text = pending_.substr(0, dataLeft_);
    pending_.erase(0, dataLeft_);
    dataLeft_ = 0;
    mode_ = Mode::Line;
    return input;
}

std::optional<SimInput> SimCommandParser::Abandon()
{
    const Mode was = mode_;
    mode_ = Mode::Line;
    dataLeft_ = 0;
    const bool started = pending_.find_first_not_of(" \t\r\n") != std::string::npos;
    SimInput input;
    input.kind = SimInput::Kind::Abandoned;
    input.text.swap(pending_);
    if (was == Mode::Data || (was == Mode::Raw && started))
        return input;
    return std::nullopt;
}

void SimCommandParser::ExpectRawRequest()
{
    mode_ = Mode::Raw;
}

void SimCommandParser::ExpectData(std::size_t count)
{
    mode_ = Mode::Data;
    dataLeft_ = count;
}

void SimCommandParser::Reset()
{
    mode_ = Mode::Line;
    dataLeft_ = 0;
    pending_.clear();
}

} // namespace tervane::sim
