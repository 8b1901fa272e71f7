#include "UploadProgress.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QVBoxLayout>

namespace tervane {

UploadProgress::UploadProgress(SerialLink& link, QWidget* parent)
    : QDialog(parent)
    , m_link(link)
    , m_shownPath(new QLineEdit(this))
    , m_progress(new QProgressBar(this))
{
    setWindowTitle(QStringLiteral("Uploading to device..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    m_shownPath->setObjectName(QStringLiteral("path"));
    m_shownPath->setReadOnly(true);
    m_shownPath->setEnabled(false);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_shownPath);
    layout->addWidget(m_progress);
    setMinimumWidth(420);
}

UploadProgress::~UploadProgress()
{
    if (m_worker.joinable())
        m_worker.join();
}

void UploadProgress::SetUploadSource(const std::string& path, bool firmwareImage, bool meshFile)
{
    m_source.SetUploadSource(path, firmwareImage, meshFile);
    m_shownPath->setText(QString::fromStdString(path));
}

int UploadProgress::DoModal()
{
    if (m_worker.joinable())
        m_worker.join();
    m_finished = false;
    m_progress->setRange(0, 0);
    m_progress->setValue(0);
    m_worker = std::thread([this] {
        // Read by the window's thread only after the join below.
        m_result = RunUpload(m_link, m_source, this);
        m_finished = true;
        QMetaObject::invokeMethod(this, [this] { OnWorkerFinished(); }, Qt::QueuedConnection);
    });
    const int code = exec();
    m_worker.join();
    return code;
}

void UploadProgress::SetRange(int maximum)
{
    QMetaObject::invokeMethod(this, [this, maximum] {
        m_progress->setRange(0, maximum);
        m_progress->setValue(0);
    }, Qt::QueuedConnection);
}

void UploadProgress::Step()
{
    QMetaObject::invokeMethod(this, [this] {
        m_progress->setValue(std::min(m_progress->value() + 1, m_progress->maximum()));
    }, Qt::QueuedConnection);
}

void UploadProgress::OnWorkerFinished()
{
    if (m_finished)
        QDialog::accept();
}

void UploadProgress::closeEvent(QCloseEvent* event)
{
    if (!m_finished)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void UploadProgress::reject()
{
    if (m_finished)
        QDialog::reject();
}

} // namespace tervane
