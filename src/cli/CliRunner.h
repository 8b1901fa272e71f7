#pragma once

#include "DeviceRunner.h"
#include "TerminalProgress.h"

namespace tervane {

// Runs the procedures' device work on the calling thread, with the terminal's progress bar,
// and keeps a copy of the last batch so that the tool can tell whether a step the
// procedure does not report (a read-back, an install command) went through.
class CliRunner : public DeviceRunner {
public:
    CliRunner(SerialLink& link, TerminalProgress& progress);
    void RunBatch(CommandBatch& batch) override;
    UploadResult Upload(const UploadSource& source) override;
    SerialLink& Link() override { return m_link; }

    // Every batch run so far, in order, as they finished.
    const std::vector<CommandBatch>& Batches() const { return m_batches; }
    // The last finished row whose command contains `text`, or none.
    const USBCommand* LastRowWith(std::string_view text) const;

private:
    SerialLink& m_link;
    TerminalProgress& m_progress;
    std::vector<CommandBatch> m_batches;
};

} // namespace tervane
