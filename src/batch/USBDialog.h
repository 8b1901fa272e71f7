#pragma once

#include "BatchWorker.h"
#include "CommandBatch.h"
#include "ProgressSink.h"

#include <QDialog>

#include <atomic>
#include <thread>

class QLabel;
class QProgressBar;

namespace tervane {

class SerialLink;

// The modal "Communicating with device..." dialog: runs its batch on a worker thread and
// closes itself when the worker is done. It cannot be closed before that, so nobody reads
// or frees the batch while the worker still uses it, the dialog or the link.
class USBDialog : public QDialog, private BatchObserver, private ProgressSink {
    Q_OBJECT

public:
    explicit USBDialog(SerialLink& link, QWidget* parent = nullptr);
    ~USBDialog() override;

    // Shows the dialog, runs the batch and returns once the worker has finished.
    int DoModal();

    // Filled by the caller before DoModal; holds every answer afterwards.
    CommandBatch batch;

    // Set by the worker right before it closes the dialog.
    bool IsFinished() const { return m_finished.load(); }

    QString StatusText() const;
    QString PromptText() const;

public slots:
    // Escape does nothing while the batch runs.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CommandStarting(int position) override;
    ProgressSink* Progress() override { return this; }
    int Position() override { return m_position.load(); }
    void SetPosition(int position) override;

    void OnCommandStarting(int position);
    void ShowPosition();
    void OnWorkerFinished();

    SerialLink& m_link;
    QLabel* m_status;
    QLabel* m_prompt;
    QProgressBar* m_progress;
    std::thread m_worker;
    std::atomic<bool> m_finished {false};
    std::atomic<int> m_position {0};
};

} // namespace tervane
