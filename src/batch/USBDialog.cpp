#include "USBDialog.h"

#include "SerialLink.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QVBoxLayout>

namespace tervane {

USBDialog::USBDialog(SerialLink& link, QWidget* parent)
    : QDialog(parent)
    , m_link(link)
    , m_status(new QLabel(QStringLiteral("Communicating with device on COMXX. Please wait..."), this))
    , m_prompt(new QLabel(this))
    , m_progress(new QProgressBar(this))
{
    setWindowTitle(QStringLiteral("Communicating with device..."));
    // No close box and no buttons: the dialog ends when its batch has run.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    m_status->setObjectName(QStringLiteral("status"));
    m_prompt->setObjectName(QStringLiteral("prompt"));
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_prompt);
    layout->addWidget(m_progress);
    setMinimumWidth(420);
}

USBDialog::~USBDialog()
{
    if (m_worker.joinable())
        m_worker.join();
}

int USBDialog::DoModal()
{
    if (m_worker.joinable())
        m_worker.join();
    m_finished = false;
    m_position = 0;
    m_status->setText(QStringLiteral("Communicating with the device on %1. Please wait...")
                          .arg(QString::fromStdString(m_link.PortName())));
    m_prompt->clear();
    m_progress->setRange(0, BatchProgressRange(batch));
    m_progress->setValue(0);

    m_worker = std::thread([this] {
        RunBatch(m_link, batch, this);
        m_finished = true;
        QMetaObject::invokeMethod(this, [this] { OnWorkerFinished(); }, Qt::QueuedConnection);
    });
    const int result = exec();
    m_worker.join();
    return result;
}

QString USBDialog::StatusText() const
{
    return m_status->text();
}

QString USBDialog::PromptText() const
{
    return m_prompt->text();
}

void USBDialog::CommandStarting(int position)
{
    QMetaObject::invokeMethod(this, [this, position] { OnCommandStarting(position); }, Qt::QueuedConnection);
}

void USBDialog::SetPosition(int position)
{
    m_position = position;
    QMetaObject::invokeMethod(this, [this] { ShowPosition(); }, Qt::QueuedConnection);
}

void USBDialog::OnCommandStarting(int position)
{
    // Only the prompt is read here; the worker writes nothing else of the record but its answer.
    if (const USBCommand* record = batch.GetAt(position))
        m_prompt->setText(QString::fromStdString(record->prompt));
    m_position += 10;
    ShowPosition();
}

void USBDialog::ShowPosition()
{
    m_progress->setValue(std::min(m_position.load(), m_progress->maximum()));
}

void USBDialog::OnWorkerFinished()
{
    // A late notice from an earlier run of a reused dialog finds the flag cleared.
    if (m_finished)
        QDialog::accept();
}

void USBDialog::closeEvent(QCloseEvent* event)
{
    if (!m_finished)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void USBDialog::reject()
{
    // Escape does nothing while the batch runs.
    if (m_finished)
        QDialog::reject();
}

} // namespace tervane
