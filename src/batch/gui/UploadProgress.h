#pragma once

#include "UploadSource.h"
#include "UploadWorker.h"
#include "WorkerDialog.h"

class QLineEdit;
class QProgressBar;

namespace tervane {

class SerialLink;

// The modal "Uploading to device..." dialog: a view over one upload run on a worker
// thread, showing the source path and a progress bar.
class UploadProgress : public WorkerDialog, private UploadObserver {
    Q_OBJECT

public:
    explicit UploadProgress(SerialLink& link, QWidget* parent = nullptr);

    void SetUploadSource(const std::string& path, bool firmwareImage, bool meshFile);
    // Runs the upload; returns once the worker has finished.
    int DoModal();
    // What the last DoModal achieved.
    const UploadResult& Result() const { return m_result; }

    int ProgressValue() const;
    int ProgressMaximum() const;

    // What the worker reports, as the window's thread shows it.
    void ShowRange(int maximum);
    void ShowStep();

private:
    void SetRange(int maximum) override;
    void Step() override;

    SerialLink& m_link;
    UploadSource m_source;
    UploadResult m_result;
    QLineEdit* m_shownPath;
    QProgressBar* m_progress;
};

} // namespace tervane
