#include "USBDialog.h"

#include "LinkStatus.h"
#include "SerialLink.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

namespace tervane {

USBDialog::USBDialog(SerialLink& link, QWidget* parent)
    : WorkerDialog(parent)
    , m_link(link)
    , m_status(new QLabel(tr("Communicating with device on COMXX. Please wait..."), this))
    , m_prompt(new QLabel(this))
    , m_progress(new QProgressBar(this))
{
    setWindowTitle(tr("Communicating with device..."));
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

USBDialog::USBDialog(SerialLink& link, LinkStatus* status, QWidget* parent)
    : USBDialog(link, parent)
{
    m_linkStatus = status;
    if (m_linkStatus != nullptr)
        connect(m_linkStatus, &LinkStatus::Changed, this, &USBDialog::ShowLinkStatus);
}

int USBDialog::DoModal(CommandBatch& batch)
{
    return Follow(batch, [this, &batch](BatchObserver& observer) { RunBatch(m_link, batch, &observer); });
}

int USBDialog::Follow(CommandBatch& batch, const std::function<void(BatchObserver&)>& follow)
{
    m_batch = &batch;
    m_position = 0;
    ShowLinkStatus();
    m_prompt->clear();
    m_progress->setRange(0, BatchProgressRange(batch));
    m_progress->setValue(0);
    const int result = RunJob([this, follow] { follow(*this); });
    m_batch = nullptr;
    return result;
}

void USBDialog::ShowLinkStatus()
{
    // While the link re-opens the port of a device that went away, the dialog says so rather
    // than seem to hang; the link's own bound decides how long.
    if (m_linkStatus != nullptr && m_linkStatus->CurrentState() == LinkStatus::State::Waiting) {
        m_status->setText(tr("Waiting for the device to come back… (%1 s left)").arg(m_linkStatus->SecondsLeft()));
        return;
    }
    m_status->setText(
        tr("Communicating with the device on %1. Please wait...").arg(QString::fromStdString(m_link.PortName())));
}

QString USBDialog::StatusText() const
{
    return m_status->text();
}

QString USBDialog::PromptText() const
{
    return m_prompt->text();
}

int USBDialog::ProgressValue() const
{
    return m_progress->value();
}

int USBDialog::ProgressMaximum() const
{
    return m_progress->maximum();
}

void USBDialog::ShowCommand(const std::string& prompt)
{
    m_prompt->setText(QString::fromStdString(prompt));
    ShowPosition(m_position += 10);
}

void USBDialog::ShowPosition(int position)
{
    m_progress->setValue(std::min(position, m_progress->maximum()));
}

void USBDialog::CommandStarting(int position)
{
    Post([this, position] {
        // Only the prompt is read here; the worker writes nothing else of the record but its answer.
        if (const USBCommand* record = m_batch ? m_batch->GetAt(position) : nullptr)
            ShowCommand(record->prompt);
    });
}

void USBDialog::SetPosition(int position)
{
    m_position = position;
    Post([this] { ShowPosition(m_position.load()); });
}

} // namespace tervane
