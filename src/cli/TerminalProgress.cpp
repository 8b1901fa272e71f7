#include "TerminalProgress.h"

#include "CommandText.h"

#include <algorithm>
#include <cstdint>

namespace tervane {

namespace {

constexpr int kLineWidth = 79;
constexpr int kBarWidth = 24;

} // namespace

TerminalProgress::TerminalProgress(std::ostream& err, bool enabled)
    : m_err(err)
    , m_enabled(enabled)
{
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
    m_maximum = BatchProgressRange(batch);
    m_position = 0;
    m_label = m_prompts.empty() ? std::string() : m_prompts.front();
    m_active = true;
    Draw();
}

void TerminalProgress::BeginUpload(const std::string& label)
{
    m_prompts.clear();
    m_starts.clear();
    m_label = label;
    m_position = 0;
    m_maximum = 0;
    m_active = true;
    Draw();
}

void TerminalProgress::End()
{
    if (m_enabled && !m_shown.empty())
        m_err << "\r" << std::string(m_shown.size(), ' ') << "\r" << std::flush;
    m_shown.clear();
    m_active = false;
}

void TerminalProgress::CommandStarting(int position)
{
    if (position < 0 || static_cast<std::size_t>(position) >= m_prompts.size())
        return;
    m_label = m_prompts[static_cast<std::size_t>(position)];
    // A command that answered early leaves the rest of its share of the bar behind.
    m_position = std::max(m_position, m_starts[static_cast<std::size_t>(position)]);
    Draw();
}

void TerminalProgress::SetPosition(int position)
{
    m_position = position;
    Draw();
}

void TerminalProgress::SetRange(int maximum)
{
    m_maximum = maximum;
    m_position = 0;
    Draw();
}

void TerminalProgress::Step()
{
    ++m_position;
    Draw();
}

std::string TerminalProgress::Line(const std::string& label, int position, int maximum, int width)
{
    int percent = 0;
    if (maximum > 0)
        percent = static_cast<int>(std::clamp<long long>(100LL * position / maximum, 0, 100));
    const int filled = kBarWidth * percent / 100;
    std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '#')
        + std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "] ";
    std::string number = std::to_string(percent) + "%";
    bar += std::string(4 - std::min<std::size_t>(number.size(), 4), ' ') + number;

    const int room = width - static_cast<int>(bar.size()) - 1;
    std::string shownLabel;
    for (unsigned char c : label) {
        // Keep the line one line: the label is a prompt or a file name, never a control.
        shownLabel.push_back(c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c));
    }
    if (room <= 0)
        return bar;
    if (static_cast<int>(shownLabel.size()) > room) {
        std::size_t cut = static_cast<std::size_t>(std::max(room - 3, 0));
        // Not in the middle of a UTF-8 sequence of a file name.
        while (cut > 0 && (static_cast<unsigned char>(shownLabel[cut]) & 0xc0u) == 0x80u)
            --cut;
        shownLabel = shownLabel.substr(0, cut) + "...";
    }
    // Padded by bytes: a label with multi-byte characters ends a little short, never long.
    if (static_cast<int>(shownLabel.size()) < room)
        shownLabel.resize(static_cast<std::size_t>(room), ' ');
    return shownLabel + " " + bar;
}

void TerminalProgress::Draw()
{
    if (!m_enabled || !m_active)
        return;
    const std::string line = Line(m_label, m_position, m_maximum, kLineWidth);
    if (line == m_shown)
        return;
    m_err << "\r" << line << std::flush;
    m_shown = line;
}

} // namespace tervane
