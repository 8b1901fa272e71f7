#include "CliRunner.h"

#include "BatchWorker.h"
#include "SerialLink.h"
#include "StopRequest.h"

#include <filesystem>

namespace tervane {

namespace {

// The terminal's progress, with the user's stop: a batch sends no row once it is asked.
class StoppableObserver : public BatchObserver {
public:
    explicit StoppableObserver(BatchObserver& inner)
        : m_inner(inner)
    {
    }
    void CommandStarting(int position) override { m_inner.CommandStarting(position); }
    ProgressSink* Progress() override { return m_inner.Progress(); }
    bool StopAsked() override { return StopRequested(); }

private:
    BatchObserver& m_inner;
};

} // namespace

CliRunner::CliRunner(SerialLink& link, TerminalProgress& progress)
    : m_link(link)
    , m_progress(progress)
{
}

void CliRunner::RunBatch(CommandBatch& batch)
{
    if (StopRequested() || DeviceGone()) {
        // Nothing more is sent: every row stands as failed, as if unanswered.
        for (auto& row : batch)
            row.failed = 1;
    } else {
        m_progress.BeginBatch(batch);
        StoppableObserver observer(m_progress);
        tervane::RunBatch(m_link, batch, &observer);
        m_progress.End();
    }
}

UploadResult CliRunner::Upload(const UploadSource& source)
{
    if (StopRequested() || DeviceGone()) {
        UploadResult stopped;
        stopped.status = UploadStatus::AnnouncementFailed;
        stopped.failedCommand = StopRequested() ? "stopped" : "device gone";
        return stopped;
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(source.Path(), error);
    m_progress.BeginUpload("Uploading " + source.FileName() + " to " + source.Destination(),
        error ? 0 : static_cast<long long>(size));
    UploadResult result = RunUpload(m_link, source, &m_progress);
    m_progress.End();
    return result;
}

bool CliRunner::DeviceGone() const
{
    return m_link.GaveUp();
}

} // namespace tervane
