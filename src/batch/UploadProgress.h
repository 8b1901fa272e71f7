#pragma once

#include "UploadSource.h"
#include "UploadWorker.h"

#include <QDialog>

#include <atomic>
#include <thread>

class QLineEdit;
class QProgressBar;

namespace tervane {

class SerialLink;

// The modal "Uploading to device..." dialog: runs one upload on a worker thread, shows the
// source path and a progress bar, and closes itself when the worker is done; it cannot be
// closed before that.
class UploadProgress : public QDialog, private UploadObserver {
    Q_OBJECT

public:
    explicit UploadProgress(SerialLink& link, QWidget* parent = nullptr);
    ~UploadProgress() override;

    void SetUploadSource(const std::string& path, bool firmwareImage, bool meshFile);
    // Runs the upload; returns once the worker has finished.
    int DoModal();
    // What the last DoModal achieved.
    const UploadResult& Result() const { return m_result; }
    bool IsFinished() const { return m_finished.load(); }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetRange(int maximum) override;
    void Step() override;
    void OnWorkerFinished();

    SerialLink& m_link;
    UploadSource m_source;
    UploadResult m_result;
    QLineEdit* m_shownPath;
    QProgressBar* m_progress;
    std::thread m_worker;
    std::atomic<bool> m_finished {false};
};

} // namespace tervane
