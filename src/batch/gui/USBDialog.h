#pragma once

#include "BatchWorker.h"
#include "CommandBatch.h"
#include "ProgressSink.h"
#include "WorkerDialog.h"

#include <atomic>
#include <functional>

class QLabel;
class QProgressBar;

namespace tervane {

class LinkStatus;
class SerialLink;

// The modal "Communicating with device..." dialog: a view over one batch run on a worker
// thread, showing the running command's prompt and the progress.
class USBDialog : public WorkerDialog, private BatchObserver, private ProgressSink {
    Q_OBJECT

public:
    explicit USBDialog(SerialLink& link, QWidget* parent = nullptr);
    // With the link's status, the dialog shows while the link waits for a device that went
    // away, and how long it still waits.
    USBDialog(SerialLink& link, LinkStatus* status, QWidget* parent = nullptr);

    // Shows the dialog, runs the batch and returns once the worker has finished; the batch
    // holds every answer then.
    int DoModal(CommandBatch& batch);
    // Shows the dialog in front of a batch another thread runs already: `follow` runs on the
    // dialog's worker, reports that batch's progress to the dialog and returns once it has
    // been run.
    int Follow(CommandBatch& batch, const std::function<void(BatchObserver&)>& follow);

    QString StatusText() const;
    QString PromptText() const;
    int ProgressValue() const;
    int ProgressMaximum() const;

    // What the worker reports, as the window's thread shows it.
    void ShowCommand(const std::string& prompt);
    void ShowPosition(int position);

private:
    void CommandStarting(int position) override;
    ProgressSink* Progress() override { return this; }
    int Position() override { return m_position.load(); }
    void SetPosition(int position) override;
    void ShowLinkStatus();

    SerialLink& m_link;
    LinkStatus* m_linkStatus = nullptr;
    CommandBatch* m_batch = nullptr;
    QLabel* m_status;
    QLabel* m_prompt;
    QProgressBar* m_progress;
    std::atomic<int> m_position {0};
};

} // namespace tervane
