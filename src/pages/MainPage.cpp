#include "MainPage.h"

#include "AppImages.h"
#include "DeviceRunner.h"
#include "ReadOnlyEdit.h"
#include "RciDocuments.h"
#include "SignalView.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tervane {

namespace {

QLineEdit* ReadOnlyEdit(const char* objectName)
{
    auto* edit = MakeReadOnly(new QLineEdit);
    edit->setObjectName(QString::fromLatin1(objectName));
    return edit;
}

QLabel* Lamp(const char* objectName, const QString& accessibleName)
{
    auto* lamp = new QLabel;
    lamp->setObjectName(QString::fromLatin1(objectName));
    lamp->setAccessibleName(accessibleName);
    lamp->setFixedSize(16, 16);
    return lamp;
}

// Whether the address is what the address control can show: four dotted decimal numbers.
bool IsDottedIpv4(const QString& text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok, 10);
        if (!ok || part.isEmpty() || part.size() > 3 || value < 0 || value > 255 || part.startsWith(u'+')
            || part.startsWith(u'-'))
            return false;
    }
    return true;
}

} // namespace

MainPage::MainPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(tr("Device Information"), documents, runner, parent)
    , m_litLamp(LampImage(true))
    , m_unlitLamp(LampImage(false))
{
    setObjectName(QStringLiteral("MainPage"));
    Bindings() = {
        {"mobile_stats/iccid", IDC_ICCID, 0, {}, BIND_TEXT, nullptr, nullptr},
        {"ppp_stats/ip_address", IDC_MOBILE_IP_ADDRESS, 0, {}, BIND_TEXT, nullptr, nullptr},
        {"device_info/model", IDC_PRODUCT, 0, {}, BIND_TEXT, nullptr, nullptr},
        {"device_info/firmware", IDC_FIRMWARE_VERSION, 0, {}, BIND_TEXT, nullptr, nullptr},
    };
    BuildControls();
    for (int id : {IDC_STATUS, IDC_PRODUCT, IDC_FIRMWARE_VERSION, IDC_IMEI, IDC_PHONE_NUMBER, IDC_ICCID, IDC_IMSI,
             IDC_MODEM_TYPE, IDC_MODEM_REVISION})
        ExchangeText(id, id);
}

void MainPage::BuildControls()
{
    auto* status = AddControl(IDC_STATUS, ReadOnlyEdit("status"));
    auto* refresh = AddControl(IDC_REFRESH, new QPushButton(tr("Refresh")));
    refresh->setObjectName(QStringLiteral("refresh"));
    connect(refresh, &QPushButton::clicked, this, &MainPage::OnRefresh);

    auto* statusBox = new QGroupBox(tr("Device Status"), this);
    auto* statusGrid = new QGridLayout(statusBox);
    statusGrid->addWidget(new QLabel(tr("Status")), 0, 0);
    statusGrid->addWidget(status, 0, 1);
    statusGrid->addWidget(refresh, 0, 2);

    const auto addRows = [this](QGridLayout* grid, std::initializer_list<std::pair<const char*, QWidget*>> rows) {
        int row = 0;
        for (const auto& [label, control] : rows) {
            grid->addWidget(new QLabel(QString::fromUtf8(label)), row, 0);
            grid->addWidget(control, row, 1);
            ++row;
        }
    };

    auto* infoBox = new QGroupBox(tr("Device Information"), this);
    auto* infoGrid = new QGridLayout(infoBox);
    addRows(infoGrid, {
        {"Product", AddControl(IDC_PRODUCT, ReadOnlyEdit("product"))},
        {"Firmware Version", AddControl(IDC_FIRMWARE_VERSION, ReadOnlyEdit("firmwareVersion"))},
    });

    auto* mobileBox = new QGroupBox(tr("Mobile Information"), this);
    auto* mobileGrid = new QGridLayout(mobileBox);
    addRows(mobileGrid, {
        {"Serial Number (IMEI)", AddControl(IDC_IMEI, ReadOnlyEdit("imei"))},
        {"Phone Number", AddControl(IDC_PHONE_NUMBER, ReadOnlyEdit("phoneNumber"))},
        {"ICCID", AddControl(IDC_ICCID, ReadOnlyEdit("iccid"))},
        {"IMSI", AddControl(IDC_IMSI, ReadOnlyEdit("imsi"))},
        {"Modem Type", AddControl(IDC_MODEM_TYPE, ReadOnlyEdit("modemType"))},
        {"Modem Revision", AddControl(IDC_MODEM_REVISION, ReadOnlyEdit("modemRevision"))},
    });

    auto* connectionBox = new QGroupBox(tr("Mobile Connection"), this);
    auto* connectionGrid = new QGridLayout(connectionBox);
    auto* linkLamp = AddControl(IDC_LINK_LAMP, Lamp("linkLamp", tr("Link")));
    auto* lampRow = new QHBoxLayout;
    lampRow->setSpacing(4);
    for (int k = 1; k <= kSignalLampCount; ++k) {
        const QByteArray name = "signalLamp" + QByteArray::number(k);
        lampRow->addWidget(
            AddControl(IDC_SIGNAL_LAMP1 + k - 1, Lamp(name.constData(), tr("Signal strength bar %1").arg(k))));
    }
    lampRow->addStretch(1);
    auto* watch = AddControl(IDC_WATCH_SIGNAL, "watchSignal", new QPushButton(tr("Watch signal")));
    watch->setToolTip(tr("Shows the signal live while the antenna is turned"));
    connect(watch, &QPushButton::clicked, this, &MainPage::OnWatchSignal);
    lampRow->addWidget(watch);
    auto* ipAddress = AddControl(IDC_MOBILE_IP_ADDRESS, ReadOnlyEdit("mobileIpAddress"));
    ipAddress->setEnabled(false);
    ipAddress->setMaximumWidth(160);
    connectionGrid->addWidget(new QLabel(tr("Link")), 0, 0);
    connectionGrid->addWidget(linkLamp, 0, 1);
    connectionGrid->addWidget(new QLabel(tr("Signal Strength")), 1, 0);
    connectionGrid->addLayout(lampRow, 1, 1);
    connectionGrid->addWidget(new QLabel(tr("Mobile IP Address")), 2, 0);
    connectionGrid->addWidget(ipAddress, 2, 1);
    connectionGrid->setColumnStretch(1, 1);

    SetLamp(IDC_LINK_LAMP, false);
    for (int k = 0; k < kSignalLampCount; ++k)
        SetLamp(IDC_SIGNAL_LAMP1 + k, false);

    // The captions of all four groups line up in one column.
    int captionWidth = 0;
    const QList<QGridLayout*> grids{statusGrid, infoGrid, mobileGrid, connectionGrid};
    for (QGridLayout* grid : grids)
        for (int row = 0; row < grid->rowCount(); ++row)
            if (QLayoutItem* item = grid->itemAtPosition(row, 0); item && item->widget())
                captionWidth = std::max(captionWidth, item->widget()->sizeHint().width());
    for (QGridLayout* grid : grids)
        grid->setColumnMinimumWidth(0, captionWidth);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(statusBox);
    layout->addWidget(infoBox);
    layout->addWidget(mobileBox);
    layout->addWidget(connectionBox);
    layout->addStretch(1);
}

bool MainPage::OnInitDialog()
{
    PropertyPage::OnInitDialog();
    LoadBindings(Documents().StateRoot());
    ShowMobileIpAddress();
    for (int k = 0; k < kSignalLampCount; ++k)
        ShowControl(IDC_SIGNAL_LAMP1 + k, false);
    UpdateData(false);
    SetModified(false);
    return true;
}

bool MainPage::OnSetActive()
{
    LoadBindings(Documents().StateRoot());
    ShowMobileIpAddress();
    UpdateSignalLamps();
    UpdateData(false);
    return PropertyPage::OnSetActive();
}

void MainPage::OnRefresh()
{
    QueryDevice();
    LoadBindings(Documents().StateRoot());
    ShowMobileIpAddress();
    UpdateSignalLamps();
    UpdateData(false);
}

bool MainPage::QueryDevice()
{
    DeviceFacts facts = Facts();
    // The lamps stored an unknown quality as 0; a query that reads no new one keeps it unknown.
    if (m_signalQualityUnknown)
        facts.signalQuality = kUnknownSignalQuality;
    const bool answered = tervane::QueryDevice(facts, Documents(), Runner()).documentsRead;
    Fields().SetText(IDC_MODEM_TYPE, facts.modemType);
    Fields().SetText(IDC_IMEI, facts.imei);
    Fields().SetText(IDC_IMSI, facts.imsi);
    Fields().SetText(IDC_MODEM_REVISION, facts.modemRevision);
    Fields().SetText(IDC_PHONE_NUMBER, facts.phoneNumber);
    Fields().SetInt(FIELD_SIGNAL_QUALITY, facts.signalQuality);
    m_signalQualityUnknown = false;
    return answered;
}

DeviceFacts MainPage::Facts() const
{
    DeviceFacts facts;
    facts.modemType = Fields().Text(IDC_MODEM_TYPE);
    facts.imei = Fields().Text(IDC_IMEI);
    facts.imsi = Fields().Text(IDC_IMSI);
    facts.modemRevision = Fields().Text(IDC_MODEM_REVISION);
    facts.phoneNumber = Fields().Text(IDC_PHONE_NUMBER);
    facts.signalQuality = Fields().Int(FIELD_SIGNAL_QUALITY);
    return facts;
}

int32_t MainPage::SignalQuality() const
{
    return Fields().Int(FIELD_SIGNAL_QUALITY);
}

void MainPage::SetStatus(const QString& status)
{
    Fields().SetText(IDC_STATUS, status.toStdString());
    // The link's news reaches a page already shown, without a refresh.
    if (HasWindow())
        SetDlgItemText(IDC_STATUS, status);
}

void MainPage::ShowMobileIpAddress()
{
    const QString address = QString::fromStdString(Fields().Text(IDC_MOBILE_IP_ADDRESS));
    // The address control holds four numbers; anything else leaves it blank.
    SetDlgItemText(IDC_MOBILE_IP_ADDRESS, IsDottedIpv4(address) ? address : QString());
}

void MainPage::SetLamp(int controlId, bool lit)
{
    if (auto* lamp = Control<QLabel>(controlId)) {
        lamp->setPixmap(lit ? m_litLamp : m_unlitLamp);
        lamp->setProperty("lit", lit);
    }
}

void MainPage::UpdateSignalLamps()
{
    if (SignalQuality() == kUnknownSignalQuality) {
        Fields().SetInt(FIELD_SIGNAL_QUALITY, 0);
        m_signalQualityUnknown = true;
    }
    const SignalLamps lamps = SignalLampsFor(SignalQuality(), Fields().Text(IDC_PRODUCT));
    for (int k = 1; k <= kSignalLampCount; ++k) {
        const int id = IDC_SIGNAL_LAMP1 + k - 1;
        ShowControl(id, k <= lamps.shown);
        SetLamp(id, k <= lamps.lit);
    }
    const bool linkUp = LinkUp(Documents().StateRoot() != nullptr, Fields().Text(IDC_MOBILE_IP_ADDRESS));
    SetLamp(IDC_LINK_LAMP, linkUp);

    // The lamps' meaning in words, for the tooltip and for a screen reader.
    // The stored 0 of an unknown quality is no reading of -113 dBm.
    const QString signal = m_signalQualityUnknown ? tr("Signal unknown: %1 of %2 bars").arg(lamps.lit).arg(lamps.shown)
                                                  : tr("Signal %1 (%2 dBm): %3 of %4 bars")
                                                        .arg(SignalQuality())
                                                        .arg(SignalLevelDbm(SignalQuality()))
                                                        .arg(lamps.lit)
                                                        .arg(lamps.shown);
    for (int k = 1; k <= kSignalLampCount; ++k)
        DescribeLamp(IDC_SIGNAL_LAMP1 + k - 1, signal);
    DescribeLamp(IDC_LINK_LAMP, linkUp ? tr("Link up") : tr("Link down"));
}

void MainPage::DescribeLamp(int controlId, const QString& meaning)
{
    if (QWidget* lamp = GetDlgItem(controlId)) {
        lamp->setToolTip(meaning);
        lamp->setAccessibleDescription(meaning);
    }
}

void MainPage::OnWatchSignal()
{
    if (m_signalView == nullptr) {
        m_signalView = new SignalView(Runner().Link(), this);
        m_signalView->SetReadingObserver([this](const SignalReading& reading) { ShowLiveSignal(reading); });
    }
    m_signalView->Open(Fields().Text(IDC_PRODUCT));
}

void MainPage::ShowLiveSignal(const SignalReading& reading)
{
    m_signalQualityUnknown = false;
    Fields().SetInt(FIELD_SIGNAL_QUALITY, reading.known ? reading.quality : kUnknownSignalQuality);
    UpdateSignalLamps();
}

bool MainPage::IsSignalLampShown(int lamp) const
{
    return IsControlShown(IDC_SIGNAL_LAMP1 + lamp - 1);
}

bool MainPage::IsSignalLampLit(int lamp) const
{
    const QWidget* control = GetDlgItem(IDC_SIGNAL_LAMP1 + lamp - 1);
    return control != nullptr && control->property("lit").toBool();
}

bool MainPage::IsLinkLampLit() const
{
    const QWidget* control = GetDlgItem(IDC_LINK_LAMP);
    return control != nullptr && control->property("lit").toBool();
}

} // namespace tervane
