#include "CliRunner.h"

#include "BatchWorker.h"
#include "StopRequest.h"

namespace tervane {

CliRunner::CliRunner(SerialLink& link, TerminalProgress& progress)
    : m_link(link)
    , m_progress(progress)
{
}

void CliRunner::RunBatch(CommandBatch& batch)
{
    if (StopRequested()) {
        // Nothing more is sent: every row stands as failed, as if unanswered.
        for (auto& row : batch)
            row.failed = 1;
        m_batches.push_back(batch);
        return;
    }
    m_progress.BeginBatch(batch);
    tervane::RunBatch(m_link, batch, &m_progress);
    m_progress.End();
    m_batches.push_back(batch);
}

UploadResult CliRunner::Upload(const UploadSource& source)
{
    if (StopRequested()) {
        UploadResult stopped;
        stopped.status = UploadStatus::AnnouncementFailed;
        stopped.failedCommand = "stopped";
        return stopped;
    }
    m_progress.BeginUpload("Uploading " + source.FileName() + " to " + source.Destination());
    UploadResult result = RunUpload(m_link, source, &m_progress);
    m_progress.End();
    return result;
}

const USBCommand* CliRunner::LastRowWith(std::string_view text) const
{
    for (auto batch = m_batches.rbegin(); batch != m_batches.rend(); ++batch) {
        const USBCommand* found = nullptr;
        for (const auto& row : *batch) {
            if (row.command.find(text) != std::string::npos)
                found = &row;
        }
        if (found)
            return found;
    }
    return nullptr;
}

} // namespace tervane
