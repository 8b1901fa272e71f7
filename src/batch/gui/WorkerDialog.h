#pragma once

#include <QDialog>

#include <atomic>
#include <functional>
#include <thread>

namespace tervane {

// A modal dialog in front of one job on a worker thread. RunJob starts the job, stays in
// the dialog's modal loop until the job has posted its finish notice to the window's
// thread, and returns after the thread has been joined. Until then neither Escape nor the
// window manager's close can end the dialog, so nobody reads or frees what the job uses
// while it still runs. The job talks to the dialog only through queued calls (Post).
class WorkerDialog : public QDialog {
    Q_OBJECT

public:
    explicit WorkerDialog(QWidget* parent = nullptr);
    ~WorkerDialog() override;

    // Runs the job behind the modal dialog; returns the dialog's result once it has ended.
    int RunJob(std::function<void()> job);

    // Set by the worker right before it posts the finish notice.
    bool IsFinished() const { return m_finished.load(); }

    // Runs `call` on the window's thread, after what was posted before it.
    void Post(std::function<void()> call);

public slots:
    // Escape does nothing while the job runs.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OnJobFinished();

    std::thread m_worker;
    std::atomic<bool> m_finished {true};
};

} // namespace tervane
