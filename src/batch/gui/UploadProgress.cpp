#include "UploadProgress.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

namespace tervane {

UploadProgress::UploadProgress(SerialLink& link, QWidget* parent)
    : WorkerDialog(parent)
    , m_link(link)
    , m_shownPath(new QLineEdit(this))
    , m_progress(new QProgressBar(this))
{
    setWindowTitle(tr("Uploading to device..."));
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

void UploadProgress::SetUploadSource(const std::string& path, bool firmwareImage, bool meshFile)
{
    m_source.SetUploadSource(path, firmwareImage, meshFile);
    m_shownPath->setText(QString::fromStdString(path));
}

int UploadProgress::DoModal()
{
    m_progress->setRange(0, 0);
    m_progress->setValue(0);
    // m_result is read by the window's thread only after RunJob has joined the worker.
    return RunJob([this] { m_result = RunUpload(m_link, m_source, this); });
}

int UploadProgress::ProgressValue() const
{
    return m_progress->value();
}

int UploadProgress::ProgressMaximum() const
{
    return m_progress->maximum();
}

void UploadProgress::ShowRange(int maximum)
{
    m_progress->setRange(0, maximum);
    m_progress->setValue(0);
}

void UploadProgress::ShowStep()
{
    m_progress->setValue(std::min(m_progress->value() + 1, m_progress->maximum()));
}

void UploadProgress::SetRange(int maximum)
{
    Post([this, maximum] { ShowRange(maximum); });
}

void UploadProgress::Step()
{
    Post([this] { ShowStep(); });
}

} // namespace tervane
