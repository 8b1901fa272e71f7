#pragma once

#include "BatchWorker.h"
#include "ProgressSink.h"
#include "UploadWorker.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace tervane {

class Clock;

// What one progress line shows.
struct ProgressLine {
    std::string label;
    int position = 0;
    int maximum = 0;
    // Transfers: bytes done of the whole (total < 0: no transfer), and the rate once known.
    long long bytesDone = 0;
    long long bytesTotal = -1;
    double bytesPerSecond = 0;
};

// The tool's progress bar: one line on standard error, redrawn in place, for batches and
// uploads alike. It takes the terminal's width at every redraw, so it follows a resize, and
// clears its line when the work ends, fails or is interrupted. Draws nothing when standard
// error is not a terminal, so that scripts and log files stay clean. Runs on the thread
// that runs the work.
class TerminalProgress : public BatchObserver, public ProgressSink, public UploadObserver {
public:
    // `width` gives the terminal's columns; none, or an answer of 0, means 80.
    TerminalProgress(std::ostream& err, bool enabled, Clock& clock, std::function<int()> width = {});
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    bool Enabled() const { return m_enabled; }

    // A batch is about to run: the bar spans its time-outs and shows each row's prompt.
    void BeginBatch(const CommandBatch& batch);
    // An upload of `size` bytes is about to run; the bar's range comes from the worker.
    void BeginUpload(const std::string& label, long long size);
    // The work is over: the line is cleared.
    void End();

    // BatchObserver
    void CommandStarting(int position) override;
    ProgressSink* Progress() override { return this; }
    // ProgressSink
    int Position() override { return m_line.position; }
    void SetPosition(int position) override;
    // UploadObserver
    void SetRange(int maximum) override;
    void Step() override;

    // The line as it is drawn, within `width` columns less one (a character in the last
    // column makes some terminals wrap): label, bar, percentage and, for a transfer, bytes,
    // rate and time left. What does not fit goes, the rate first and the label last.
    static std::string Format(const ProgressLine& line, int width);

private:
    void Draw();
    int Width() const;

    std::ostream& m_err;
    const bool m_enabled;
    Clock& m_clock;
    std::function<int()> m_width;
    ProgressLine m_line;
    std::vector<std::string> m_prompts;
    std::vector<int> m_starts;
    int m_chunksPerStep = 1;
    uint32_t m_startTick = 0;
    std::string m_shown;
    bool m_active = false;
};

} // namespace tervane
