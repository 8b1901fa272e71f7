#include "SignalView.h"

#include "AppImages.h"
#include "DeviceQuery.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "SignalStrip.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

namespace tervane {

namespace {

constexpr int kBarCount = 5;
// A poll's two time-outs with the drains before them, and some room.
constexpr int kPollBoundMs = 3000;

QLabel* NamedLabel(const char* objectName, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

} // namespace

SignalView::SignalView(SerialLink& link, QWidget* parent)
    : QDialog(parent)
    , m_poller(link,
          [this](const SignalPollEvent& event) {
              QMetaObject::invokeMethod(
                  this, [this, event] { ShowEvent(event); }, Qt::QueuedConnection);
          })
    , m_litLamp(LampImage(true))
    , m_unlitLamp(LampImage(false))
    , m_level(NamedLabel("level", this))
    , m_quality(NamedLabel("quality", this))
    , m_registration(NamedLabel("registration", this))
    , m_peak(NamedLabel("peak", this))
    , m_status(NamedLabel("pollStatus", this))
    , m_strip(new SignalStrip(this))
    , m_reset(new QPushButton(tr("&Reset"), this))
    , m_save(new QPushButton(tr("&Save..."), this))
    , m_close(new QPushButton(tr("&Close"), this))
    , m_overdue(new QTimer(this))
{
    setObjectName(QStringLiteral("SignalView"));
    setWindowTitle(tr("Watch signal"));
    setModal(false);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
        Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    // The level is the one thing to read from a distance: three times the window's font.
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 3);
    big.setBold(true);
    m_level->setFont(big);
    m_level->setAccessibleName(tr("Signal level"));
    m_quality->setAccessibleName(tr("Signal quality"));
    m_registration->setAccessibleName(tr("Registration"));
    m_peak->setAccessibleName(tr("Peak since reset"));
    m_status->setAccessibleName(tr("Polling"));
    m_reset->setObjectName(QStringLiteral("resetPeak"));
    m_reset->setAccessibleName(tr("Reset the peak"));
    m_save->setObjectName(QStringLiteral("saveCsv"));
    m_save->setAccessibleName(tr("Save the readings as CSV"));
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setAutoDefault(false);
    m_reset->setAutoDefault(false);
    m_save->setAutoDefault(false);

    auto* barRow = new QHBoxLayout;
    barRow->setSpacing(4);
    for (int k = 0; k < kBarCount; ++k) {
        const QByteArray name = "bar" + QByteArray::number(k + 1);
        m_bars[k] = NamedLabel(name.constData(), this);
        m_bars[k]->setAccessibleName(tr("Signal strength bar %1").arg(k + 1));
        m_bars[k]->setFixedSize(16, 16);
        m_bars[k]->setPixmap(m_unlitLamp);
        m_bars[k]->setProperty("lit", false);
        barRow->addWidget(m_bars[k]);
    }
    barRow->addStretch(1);

    auto* facts = new QGridLayout;
    facts->addWidget(m_level, 0, 0, 1, 2);
    facts->addWidget(m_quality, 1, 0, 1, 2);
    facts->addWidget(new QLabel(tr("Bars")), 2, 0);
    facts->addLayout(barRow, 2, 1);
    facts->addWidget(new QLabel(tr("Registration")), 3, 0);
    facts->addWidget(m_registration, 3, 1);
    facts->addWidget(new QLabel(tr("Peak since reset")), 4, 0);
    facts->addWidget(m_peak, 4, 1);
    facts->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_reset);
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(facts);
    layout->addWidget(m_strip, 1);
    layout->addLayout(buttons);

    connect(m_reset, &QPushButton::clicked, this, &SignalView::OnResetPeak);
    connect(m_save, &QPushButton::clicked, this, &SignalView::OnSave);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    m_overdue->setSingleShot(true);
    connect(m_overdue, &QTimer::timeout, this, &SignalView::OnOverdue);
    setTabOrder(m_reset, m_save);
    setTabOrder(m_save, m_close);

    m_level->setText(tr("waiting for the device"));
    m_quality->clear();
    m_registration->setText(QString::fromUtf8(RegistrationText(Registration::Unknown).data()));
    ShowPeak();
    UpdateStrip();
}

SignalView::~SignalView()
{
    // The thread ends before anything it posts to could go.
    m_poller.Stop();
}

void SignalView::Open(const std::string& product)
{
    m_status->setText(tr("Polling every %1 s").arg(m_interval.count() / 1000.0));
    m_open = true;
    m_poller.Start(product, m_interval);
    m_overdue->start(static_cast<int>(m_interval.count()) + kPollBoundMs);
    show();
    raise();
    activateWindow();
}

void SignalView::SetReadingObserver(std::function<void(const SignalReading&)> observer)
{
    m_observer = std::move(observer);
}

void SignalView::SetInterval(std::chrono::milliseconds interval)
{
    m_interval = interval;
}

bool SignalView::Polling() const
{
    return m_poller.Running();
}

void SignalView::done(int result)
{
    // Closing never waits for the device: the poll under way finishes on its own thread.
    m_open = false;
    m_poller.RequestStop();
    m_overdue->stop();
    m_status->setText(tr("Stopped"));
    QDialog::done(result);
}

void SignalView::ShowEvent(const SignalPollEvent& event)
{
    if (!m_open)
        return;
    m_overdue->start(static_cast<int>(m_interval.count()) + kPollBoundMs);
    switch (event.kind) {
    case SignalPollEvent::Kind::Held:
        m_status->setText(tr("Paused while the device is busy"));
        return;
    case SignalPollEvent::Kind::DeviceAway:
        m_status->setText(tr("waiting for the device"));
        break;
    case SignalPollEvent::Kind::Reading:
        m_status->setText(tr("Polling every %1 s").arg(m_interval.count() / 1000.0));
        break;
    }
    m_session.Add(event.time, event.reading);
    ShowReading(event.reading);
    ShowPeak();
    UpdateStrip();
    if (m_observer)
        m_observer(event.reading);
}

void SignalView::OnOverdue()
{
    m_level->setText(tr("waiting for the device"));
    m_status->setText(tr("waiting for the device"));
}

void SignalView::ShowReading(const SignalReading& reading)
{
    if (!reading.answered)
        m_level->setText(tr("waiting for the device"));
    else if (!reading.known)
        m_level->setText(tr("unknown"));
    else
        m_level->setText(tr("%1 dBm").arg(reading.levelDbm));
    m_quality->setText(reading.known ? tr("CSQ %1").arg(reading.quality) : tr("CSQ unknown"));
    m_registration->setText(QString::fromUtf8(RegistrationText(reading.registration).data()));

    const QString meaning = reading.known ? tr("Signal %1 (%2 dBm): %3 of %4 bars")
                                                .arg(reading.quality)
                                                .arg(reading.levelDbm)
                                                .arg(reading.lampsLit)
                                                .arg(reading.lampsShown)
                                          : tr("Signal unknown: %1 of %2 bars").arg(0).arg(reading.lampsShown);
    for (int k = 0; k < kBarCount; ++k) {
        const bool lit = reading.known && k < reading.lampsLit;
        m_bars[k]->setVisible(k < reading.lampsShown);
        m_bars[k]->setPixmap(lit ? m_litLamp : m_unlitLamp);
        m_bars[k]->setProperty("lit", lit);
        m_bars[k]->setToolTip(meaning);
        m_bars[k]->setAccessibleDescription(meaning);
    }
    m_level->setAccessibleDescription(meaning);
}

void SignalView::ShowPeak()
{
    if (const auto peak = m_session.Peak())
        m_peak->setText(tr("%1 dBm (CSQ %2)").arg(SignalLevelDbm(*peak)).arg(*peak));
    else
        m_peak->setText(tr("none yet"));
}

void SignalView::UpdateStrip()
{
    const auto end = m_session.Entries().empty() ? std::chrono::system_clock::now() : m_session.Entries().back().time;
    m_strip->SetReadings(m_session.Recent(), end, std::chrono::minutes(5), m_interval, m_session.Peak());
}

void SignalView::OnResetPeak()
{
    m_session.ResetPeak();
    ShowPeak();
    UpdateStrip();
}

bool SignalView::SaveCsv(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const std::string csv = m_session.Csv();
    if (file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()))
        return false;
    return file.commit();
}

void SignalView::OnSave()
{
    FileChoice choice;
    choice.defaultExtension = "csv";
    choice.filter = "Comma-separated values (*.csv)|*.csv|All files (*.*)|*.*||";
    choice.initialName = QStringLiteral("signal-%1.csv")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
                             .toStdString();
    const std::optional<QString> path = FileDialog::GetSaveFileName(this, choice);
    if (!path)
        return;
    if (!SaveCsv(*path))
        MessageBox::Show(this, tr("Unable to write %1.").arg(*path), windowTitle(), QMessageBox::Critical,
            QMessageBox::Ok);
}

QString SignalView::LevelText() const
{
    return m_level->text();
}

QString SignalView::StatusText() const
{
    return m_status->text();
}

QString SignalView::PeakText() const
{
    return m_peak->text();
}

QString SignalView::RegistrationLabelText() const
{
    return m_registration->text();
}

int SignalView::BarsShown() const
{
    int shown = 0;
    for (const QLabel* bar : m_bars)
        shown += bar->isVisibleTo(this) ? 1 : 0;
    return shown;
}

int SignalView::BarsLit() const
{
    int lit = 0;
    for (const QLabel* bar : m_bars)
        lit += bar->isVisibleTo(this) && bar->property("lit").toBool() ? 1 : 0;
    return lit;
}

} // namespace tervane
