#pragma once

#include "BatchWorker.h"
#include "ProgressSink.h"
#include "UploadWorker.h"

#include <ostream>
#include <string>
#include <vector>

namespace tervane {

// The tool's progress bar: one line on standard error, redrawn in place, for batches and
// uploads alike. Draws nothing when standard error is not a terminal, so that scripts and
// log files stay clean. Runs on the thread that runs the work.
class TerminalProgress : public BatchObserver, public ProgressSink, public UploadObserver {
public:
    TerminalProgress(std::ostream& err, bool enabled);
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    bool Enabled() const { return m_enabled; }

    // A batch is about to run: the bar spans its time-outs and shows each row's prompt.
    void BeginBatch(const CommandBatch& batch);
    // An upload is about to run; the bar's range comes from the worker.
    void BeginUpload(const std::string& label);
    // The work is over: the line is cleared.
    void End();

    // BatchObserver
    void CommandStarting(int position) override;
    ProgressSink* Progress() override { return this; }
    // ProgressSink
    int Position() override { return m_position; }
    void SetPosition(int position) override;
    // UploadObserver
    void SetRange(int maximum) override;
    void Step() override;

    // The line as it is drawn: label, bar and percentage, within `width` characters.
    static std::string Line(const std::string& label, int position, int maximum, int width);

private:
    void Draw();

    std::ostream& m_err;
    const bool m_enabled;
    std::string m_label;
    std::vector<std::string> m_prompts;
    std::vector<int> m_starts;
    int m_position = 0;
    int m_maximum = 0;
    std::string m_shown;
    bool m_active = false;
};

} // namespace tervane
