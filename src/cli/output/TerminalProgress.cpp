#include "TerminalProgress.h"

#include "Clock.h"
#include "CommandText.h"
#include "InterruptCleanup.h"
#include "ProcedureSteps.h"

#include <algorithm>
#include <cstdio>

namespace tervane {

namespace {

constexpr int kDefaultWidth = 80;
constexpr int kWidestBar = 32;
constexpr int kNarrowestBar = 12;
constexpr int kShortestLabel = 12;
// A rate is shown once the transfer has run this long.
constexpr uint32_t kRateAfterMs = 1000;
// Back to the line's start and erase to its end.
constexpr const char* kClearLine = "\r\033[K";

// 1000-based, as transfer rates are given: "812 B", "93.5 kB", "1.20 MB".
std::string Bytes(double bytes)
{
    char text[32];
    if (bytes < 1000)
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    else if (bytes < 1e6)
        std::snprintf(text, sizeof text, "%.1f kB", bytes / 1e3);
    else if (bytes < 1e9)
        std::snprintf(text, sizeof text, "%.2f MB", bytes / 1e6);
    else
        std::snprintf(text, sizeof text, "%.2f GB", bytes / 1e9);
    return text;
}

// Done and whole in the whole's unit: "90.0/200.0 kB".
std::string ByteCounts(long long done, long long total)
{
    const std::string whole = Bytes(static_cast<double>(total));
    const std::string unit = whole.substr(whole.find(' '));
    const double scale = unit == " B" ? 1 : unit == " kB" ? 1e3 : unit == " MB" ? 1e6 : 1e9;
    char text[32];
    std::snprintf(text, sizeof text, unit == " B" ? "%.0f" : unit == " kB" ? "%.1f" : "%.2f",
        static_cast<double>(done) / scale);
    return text + ("/" + whole);
}

std::string TimeLeft(const ProgressLine& line)
{
    if (line.bytesPerSecond <= 0)
        return "--:-- left";
    const long long seconds = static_cast<long long>(
        static_cast<double>(std::max(line.bytesTotal - line.bytesDone, 0LL)) / line.bytesPerSecond + 0.5);
    char text[40];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld left", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld left", seconds / 60, seconds % 60);
    return text;
}

std::string Bar(int percent, int width)
{
    const int inside = width - 2;
    const int filled = inside * percent / 100;
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#').append(static_cast<std::size_t>(inside - filled), ' ');
    return bar + "]";
}

// The label on one line, cut or padded to `room` bytes; never cut inside a UTF-8 character.
std::string FittedLabel(const std::string& label, int room)
{
    // Keep the line one line: the label is a prompt or a file name, never a control.
    std::string shown = ShownName(label);
    if (static_cast<int>(shown.size()) > room) {
        std::size_t cut = static_cast<std::size_t>(std::max(room - 3, 0));
        while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xc0u) == 0x80u)
            --cut;
        shown = shown.substr(0, cut) + std::string(static_cast<std::size_t>(std::min(room, 3)), '.');
    }
    // Padded by bytes: a label with multi-byte characters ends a little short, never long.
    if (static_cast<int>(shown.size()) < room)
        shown.resize(static_cast<std::size_t>(room), ' ');
    return shown;
}

} // namespace

TerminalProgress::TerminalProgress(std::ostream& err, bool enabled, Clock& clock, std::function<int()> width)
    : m_err(err)
    , m_enabled(enabled)
    , m_clock(clock)
    , m_width(std::move(width))
{
}

TerminalProgress::~TerminalProgress()
{
    End();
}

void TerminalProgress::BeginBatch(const CommandBatch& batch)
{
    m_prompts.clear();
    m_starts.clear();
    long long sum = 0;
    for (const auto& record : batch) {
        if (record.command.empty())
            break;
        m_prompts.push_back(record.prompt.empty() ? EscapeForDisplay(record.command) : record.prompt);
        m_starts.push_back(static_cast<int>(std::min<long long>(sum / 100, INT32_MAX)));
        sum += record.timeout;
    }
    m_line = ProgressLine();
    m_line.maximum = BatchProgressRange(batch);
    m_line.label = m_prompts.empty() ? std::string() : m_prompts.front();
    m_active = true;
    Draw();
}

void TerminalProgress::BeginUpload(const std::string& label, long long size)
{
    m_prompts.clear();
    m_starts.clear();
    m_line = ProgressLine();
    m_line.label = label;
    m_line.bytesTotal = std::max(size, 0LL);
    m_chunksPerStep = PlanUploadProgress(size).chunksPerStep;
    m_startTick = m_clock.TickCount();
    m_active = true;
    Draw();
}

void TerminalProgress::End()
{
    if (m_enabled && !m_shown.empty()) {
        m_err << kClearLine << std::flush;
        SetInterruptLineShown(false);
    }
    m_shown.clear();
    m_active = false;
}

void TerminalProgress::CommandStarting(int position)
{
    if (position < 0 || static_cast<std::size_t>(position) >= m_prompts.size())
        return;
    m_line.label = m_prompts[static_cast<std::size_t>(position)];
    // A command that answered early leaves the rest of its share of the bar behind.
    m_line.position = std::max(m_line.position, m_starts[static_cast<std::size_t>(position)]);
    Draw();
}

void TerminalProgress::SetPosition(int position)
{
    m_line.position = position;
    Draw();
}

void TerminalProgress::SetRange(int maximum)
{
    m_line.maximum = maximum;
    m_line.position = 0;
    // The data starts now; the announcements before it are no part of the rate.
    m_startTick = m_clock.TickCount();
    Draw();
}

void TerminalProgress::Step()
{
    ++m_line.position;
    if (m_line.bytesTotal >= 0) {
        m_line.bytesDone = std::min(m_line.bytesTotal,
            static_cast<long long>(m_line.position) * m_chunksPerStep * kUploadChunkSize);
        const uint32_t elapsed = m_clock.TickCount() - m_startTick;
        if (elapsed >= kRateAfterMs)
            m_line.bytesPerSecond = static_cast<double>(m_line.bytesDone) * 1000.0 / elapsed;
    }
    Draw();
}

std::string TerminalProgress::Format(const ProgressLine& line, int width)
{
    const int room = std::max(width - 1, 1);
    int percent = 0;
    if (line.maximum > 0)
        percent = static_cast<int>(std::clamp<long long>(100LL * line.position / line.maximum, 0, 100));
    std::string number = std::to_string(percent) + "%";
    number.insert(0, 4 - std::min<std::size_t>(number.size(), 4), ' ');

    const bool transfer = line.bytesTotal >= 0;
    const std::string counts = transfer ? ByteCounts(line.bytesDone, line.bytesTotal) : std::string();
    const std::string rate = transfer && line.bytesPerSecond > 0 ? Bytes(line.bytesPerSecond) + "/s" : "--- B/s";
    const std::string left = transfer ? TimeLeft(line) : std::string();
    const int labelWanted = std::min(static_cast<int>(line.label.size()), kShortestLabel);
    // What does not fit goes in this order: the rate, the label, the byte counts.
    for (int given = 0; given < 4; ++given) {
        std::string tail = number;
        if (transfer && given < 3)
            tail += "  " + counts;
        if (transfer && given < 1)
            tail += "  " + rate;
        if (transfer)
            tail += "  " + left;
        const bool labelled = given < 2 && !line.label.empty();
        const int rest = room - static_cast<int>(tail.size()) - 1;  // for the bar and the label
        if (rest < kNarrowestBar + (labelled ? labelWanted + 1 : 0))
            continue;
        if (!labelled)
            return Bar(percent, std::min(rest, kWidestBar)) + " " + tail;
        const int bar = std::clamp(rest - static_cast<int>(line.label.size()) - 1, kNarrowestBar, kWidestBar);
        return FittedLabel(line.label, rest - bar - 1) + " " + Bar(percent, bar) + " " + tail;
    }
    // Not even the narrowest bar fits: a smaller one, or the number alone.
    const int bar = room - static_cast<int>(number.size()) - 1;
    if (bar >= 5)
        return Bar(percent, bar) + " " + number;
    return number.substr(number.size() - std::min<std::size_t>(number.size(), static_cast<std::size_t>(room)));
}

int TerminalProgress::Width() const
{
    const int columns = m_width ? m_width() : 0;
    return columns > 0 ? columns : kDefaultWidth;
}

void TerminalProgress::Draw()
{
    if (!m_enabled || !m_active)
        return;
    const std::string line = Format(m_line, Width());
    if (line == m_shown)
        return;
    // Erasing to the end also takes away what a wider line left after a narrowing resize.
    m_err << "\r" << line << "\033[K" << std::flush;
    m_shown = line;
    SetInterruptLineShown(true);
}

} // namespace tervane
