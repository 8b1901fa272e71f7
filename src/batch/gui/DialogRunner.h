#pragma once

#include "DeviceRunner.h"
#include "LinkStatus.h"

namespace tervane {

// Runs the work behind the modal progress dialogs: "Communicating with device..." for a
// batch, "Uploading to device..." for a file. The window's thread waits inside the dialog.
// The signal poll stays off from the first step of a procedure until the window's thread is
// idle again.
class DialogRunner : public DeviceRunner {
public:
    explicit DialogRunner(SerialLink& link);
    void RunBatch(CommandBatch& batch) override;
    UploadResult Upload(const UploadSource& source) override;
    SerialLink& Link() override { return m_link; }
    // How the link stands, as the dialogs and the window show it.
    LinkStatus& Status() { return m_status; }

private:
    SerialLink& m_link;
    LinkStatus m_status;
};

} // namespace tervane
