#pragma once

#include "DeviceRunner.h"
#include "TerminalProgress.h"

namespace tervane {

// Runs the procedures' device work on the calling thread, with the terminal's progress bar.
// Nothing of a batch is kept: each procedure reports what happened on the device.
class CliRunner : public DeviceRunner {
public:
    CliRunner(SerialLink& link, TerminalProgress& progress);
    void RunBatch(CommandBatch& batch) override;
    UploadResult Upload(const UploadSource& source) override;
    SerialLink& Link() override { return m_link; }

    // Whether the link gave up on the device: it went away and did not come back within the
    // link's bound. Nothing more is sent then; each later batch or upload fails at once, so
    // that the link's one give-up bounds the whole run.
    bool DeviceGone() const;

private:
    SerialLink& m_link;
    TerminalProgress& m_progress;
};

} // namespace tervane
