#pragma once

#include "DeviceRunner.h"
#include "TerminalProgress.h"

#include <span>
#include <string_view>
#include <vector>

namespace tervane {

// What the tool keeps of a finished row to tell whether a step the procedure does not
// report (a read-back, an install command) went through: the command, the failure flag and
// the answer when it fits the base receive room. A longer answer (a file, a whole settings
// document) is the procedure's own data, read and released by it; only the fact that one
// came is kept.
struct KeptRow {
    USBCommand row;         // its response empty when the answer was not kept
    bool answered = false;  // the device's answer was not empty
};

// Runs the procedures' device work on the calling thread, with the terminal's progress bar.
// No batch is kept: only the rows' outcomes, as KeptRow.
class CliRunner : public DeviceRunner {
public:
    CliRunner(SerialLink& link, TerminalProgress& progress);
    void RunBatch(CommandBatch& batch) override;
    UploadResult Upload(const UploadSource& source) override;
    SerialLink& Link() override { return m_link; }

    // The rows of the last batch run, in order; empty before the first.
    std::span<const KeptRow> LastBatch() const;
    // The last finished row whose command contains `text`, or none.
    const KeptRow* LastRowWith(std::string_view text) const;
    // Whether the link gave up on the device: it went away and did not come back within the
    // link's bound. Nothing more is sent then; each later batch or upload fails at once, so
    // that the link's one give-up bounds the whole run.
    bool DeviceGone() const;

private:
    SerialLink& m_link;
    TerminalProgress& m_progress;
    std::vector<KeptRow> m_rows;
    std::size_t m_lastBatchStart = 0;
};

} // namespace tervane
