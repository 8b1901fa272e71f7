#include "WorkerDialog.h"

#include <QCloseEvent>
#include <QMetaObject>

namespace tervane {

WorkerDialog::WorkerDialog(QWidget* parent)
    : QDialog(parent)
{
    // No close box and no buttons: the dialog ends when its job has run.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
}

WorkerDialog::~WorkerDialog()
{
    if (m_worker.joinable())
        m_worker.join();
}

int WorkerDialog::RunJob(std::function<void()> job)
{
    if (m_worker.joinable())
        m_worker.join();
    m_finished = false;
    m_worker = std::thread([this, job = std::move(job)] {
        job();
        m_finished = true;
        Post([this] { OnJobFinished(); });
    });
    const int result = exec();
    m_worker.join();
    return result;
}

void WorkerDialog::Post(std::function<void()> call)
{
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void WorkerDialog::OnJobFinished()
{
    // A late notice from an earlier run of a reused dialog finds the flag cleared.
    if (m_finished)
        QDialog::accept();
}

void WorkerDialog::closeEvent(QCloseEvent* event)
{
    if (!m_finished)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void WorkerDialog::reject()
{
    if (m_finished)
        QDialog::reject();
}

} // namespace tervane
