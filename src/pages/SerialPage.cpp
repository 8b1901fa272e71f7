#include "SerialPage.h"

#include "ChoiceList.h"
#include "FramedGroup.h"
#include "PropertySheet.h"
#include "RciDocuments.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <array>
#include <string>
#include <vector>

namespace tervane {

namespace {

// One network service: its enable box, its port edit and its keep-alive box (none for UDP).
struct ServiceControls {
    int enable;
    int port;
    int keepalive;
};

constexpr std::array<ServiceControls, 5> kServices{{
    {SerialPage::IDC_TELNET, SerialPage::IDC_TELNET_PORT, SerialPage::IDC_TELNET_KEEPALIVE},
    {SerialPage::IDC_RAW_TCP, SerialPage::IDC_RAW_TCP_PORT, SerialPage::IDC_RAW_TCP_KEEPALIVE},
    {SerialPage::IDC_SSH, SerialPage::IDC_SSH_PORT, SerialPage::IDC_SSH_KEEPALIVE},
    {SerialPage::IDC_SECURE_SOCKET, SerialPage::IDC_SECURE_SOCKET_PORT, SerialPage::IDC_SECURE_SOCKET_KEEPALIVE},
    {SerialPage::IDC_UDP, SerialPage::IDC_UDP_PORT, 0},
}};
constexpr std::size_t kTelnet = 0;
constexpr std::size_t kRawTcp = 1;
constexpr std::size_t kSsh = 2;
constexpr std::size_t kSecureSocket = 3;
constexpr std::size_t kUdp = 4;

// A line-setting list and the caption shown with it.
struct LineSetting {
    int list;
    int caption;
    const char* captionText;
};

constexpr std::array<LineSetting, 5> kLineSettings {{
    {SerialPage::IDC_BAUD_RATE, SerialPage::IDC_BAUD_RATE_CAPTION,
        QT_TRANSLATE_NOOP("tervane::SerialPage", "Baud Rate")},
    {SerialPage::IDC_DATA_BITS, SerialPage::IDC_DATA_BITS_CAPTION,
        QT_TRANSLATE_NOOP("tervane::SerialPage", "Data Bits")},
    {SerialPage::IDC_PARITY, SerialPage::IDC_PARITY_CAPTION, QT_TRANSLATE_NOOP("tervane::SerialPage", "Parity")},
    {SerialPage::IDC_STOP_BITS, SerialPage::IDC_STOP_BITS_CAPTION,
        QT_TRANSLATE_NOOP("tervane::SerialPage", "Stop Bits")},
    {SerialPage::IDC_FLOW_CONTROL, SerialPage::IDC_FLOW_CONTROL_CAPTION,
        QT_TRANSLATE_NOOP("tervane::SerialPage", "Flow Control")},
}};

QLineEdit* PortEdit(bool numeralsOnly)
{
    auto* edit = new QLineEdit;
    if (numeralsOnly)
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

} // namespace

SerialPage::SerialPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(tr("Serial Port"), documents, runner, parent)
{
    setObjectName(QStringLiteral("SerialPage"));
    constexpr uint32_t kList = BIND_TEXT | BIND_CHOICES;
    Bindings() = {
        {"serial/baud", IDC_BAUD_RATE, IDC_BAUD_RATE, kBaudRateChoices, kList, nullptr, nullptr},
        {"serial/databits", IDC_DATA_BITS, IDC_DATA_BITS, kDataBitsChoices, kList, nullptr, nullptr},
        {"serial/parity", IDC_PARITY, IDC_PARITY, kParityChoices, kList, nullptr, nullptr},
        {"serial/stopbits", IDC_STOP_BITS, IDC_STOP_BITS, kStopBitsChoices, kList, nullptr, nullptr},
        {"serial/flowcontrol", IDC_FLOW_CONTROL, IDC_FLOW_CONTROL, kFlowControlChoices, kList, nullptr, nullptr},
        {"telnet_server/state", IDC_TELNET, IDC_TELNET, {}, BIND_ONOFF, nullptr, nullptr},
        {"telnet_server/port", IDC_TELNET_PORT, IDC_TELNET_PORT, {}, BIND_TEXT, nullptr, nullptr},
        {"telnet_server/keepalive", IDC_TELNET_KEEPALIVE, IDC_TELNET_KEEPALIVE, {}, BIND_ONOFF, nullptr, nullptr},
        {"tcp_server/state", IDC_RAW_TCP, IDC_RAW_TCP, {}, BIND_ONOFF, nullptr, nullptr},
        {"tcp_server/port", IDC_RAW_TCP_PORT, IDC_RAW_TCP_PORT, {}, BIND_TEXT, nullptr, nullptr},
        {"tcp_server/keepalive", IDC_RAW_TCP_KEEPALIVE, IDC_RAW_TCP_KEEPALIVE, {}, BIND_ONOFF, nullptr, nullptr},
        {"ssh_server/state", IDC_SSH, IDC_SSH, {}, BIND_ONOFF, nullptr, nullptr},
        {"ssh_server/port", IDC_SSH_PORT, IDC_SSH_PORT, {}, BIND_TEXT, nullptr, nullptr},
        {"ssh_server/keepalive", IDC_SSH_KEEPALIVE, IDC_SSH_KEEPALIVE, {}, BIND_ONOFF, nullptr, nullptr},
        {"securesocket/state", IDC_SECURE_SOCKET, IDC_SECURE_SOCKET, {}, BIND_ONOFF, nullptr, nullptr},
        {"securesocket/port", IDC_SECURE_SOCKET_PORT, IDC_SECURE_SOCKET_PORT, {}, BIND_TEXT, nullptr, nullptr},
        {"securesocket/keepalive", IDC_SECURE_SOCKET_KEEPALIVE, IDC_SECURE_SOCKET_KEEPALIVE, {}, BIND_ONOFF,
            nullptr, nullptr},
        {"udp_server/state", IDC_UDP, IDC_UDP, {}, BIND_ONOFF, nullptr, nullptr},
        {"udp_server/port", IDC_UDP_PORT, IDC_UDP_PORT, {}, BIND_TEXT, nullptr, nullptr},
    };
    BuildControls();

    for (const LineSetting& setting : kLineSettings) {
        ExchangeChoice(setting.list, setting.list);
        RouteToFieldChange(setting.list);
    }
    for (const ServiceControls& service : kServices) {
        ExchangeCheck(service.enable, service.enable);
        ExchangeText(service.port, service.port);
        RouteToFieldChange(service.port);
        if (service.keepalive != 0) {
            ExchangeCheck(service.keepalive, service.keepalive);
            RouteToFieldChange(service.keepalive);
        }
    }
    connect(Control<QCheckBox>(IDC_TELNET), &QCheckBox::clicked, this, &SerialPage::OnTelnetClicked);
    connect(Control<QCheckBox>(IDC_RAW_TCP), &QCheckBox::clicked, this, &SerialPage::OnRawTcpClicked);
    connect(Control<QCheckBox>(IDC_SSH), &QCheckBox::clicked, this, &SerialPage::OnSshClicked);
    connect(Control<QCheckBox>(IDC_SECURE_SOCKET), &QCheckBox::clicked, this, &SerialPage::OnSecureSocketClicked);
    connect(Control<QCheckBox>(IDC_UDP), &QCheckBox::clicked, this, &SerialPage::OnUdpClicked);
}

void SerialPage::BuildControls()
{
    auto* basicFrame = AddControl(IDC_BASIC_GROUP, new QGroupBox(tr("Basic Serial Port Settings")));
    auto* basicGrid = new QGridLayout;
    int row = 0;
    for (const LineSetting& setting : kLineSettings) {
        auto* caption = AddControl(setting.caption, new QLabel(tr(setting.captionText)));
        auto* list = AddControl(setting.list, new QComboBox);
        list->setMaxVisibleItems(8);
        caption->setBuddy(list);
        basicGrid->addWidget(caption, row, 0);
        basicGrid->addWidget(list, row, 1);
        ++row;
    }
    basicGrid->setColumnStretch(2, 1);

    auto* networkFrame = AddControl(IDC_NETWORK_GROUP, new QGroupBox(tr("Serial Port Network Settings")));
    auto* networkGrid = new QGridLayout;
    networkGrid->addWidget(AddControl(IDC_TCP_SERIAL_CAPTION, new QLabel(tr("TCP Serial"))), 0, 0, 1, 3);
    const auto addService = [&](int enable, const char* enableText, int port, bool numeralsOnly, int keepalive) {
        const int at = networkGrid->rowCount();
        networkGrid->addWidget(AddControl(enable, new QCheckBox(tr(enableText))), at, 0);
        auto* edit = AddControl(port, PortEdit(numeralsOnly));
        // The enable box's text, which ends in "Port:", names the port beside it.
        edit->setAccessibleName(tr(enableText).trimmed());
        edit->setMaximumWidth(90);
        networkGrid->addWidget(edit, at, 1);
        if (keepalive != 0)
            networkGrid->addWidget(AddControl(keepalive, new QCheckBox(tr("Enable TCP Keep-Alive "))), at, 2);
    };
    addService(IDC_TELNET, QT_TR_NOOP("Enable Telnet access using TCP Port:"), IDC_TELNET_PORT, true,
        IDC_TELNET_KEEPALIVE);
    addService(IDC_RAW_TCP, QT_TR_NOOP("Enable Raw TCP access using TCP Port: "), IDC_RAW_TCP_PORT, true,
        IDC_RAW_TCP_KEEPALIVE);
    addService(IDC_SSH, QT_TR_NOOP("Enable Secure Shell (SSH) access using TCP Port:"), IDC_SSH_PORT, true,
        IDC_SSH_KEEPALIVE);
    addService(IDC_SECURE_SOCKET, QT_TR_NOOP("Enable Secure Socket access using TCP Port:"), IDC_SECURE_SOCKET_PORT,
        true, IDC_SECURE_SOCKET_KEEPALIVE);
    // The UDP server's port takes any text.
    addService(IDC_UDP, QT_TR_NOOP("Enable UDP access using UDP Port:"), IDC_UDP_PORT, false, 0);
    networkGrid->setColumnStretch(3, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(FramedGroup(basicFrame, basicGrid));
    layout->addLayout(FramedGroup(networkFrame, networkGrid));
    layout->addStretch(1);
}

bool SerialPage::OnInitDialog()
{
    PropertyPage::OnInitDialog();
    FillChoiceLists();
    HideAllControls();
    LoadBindings(Documents().SettingsRoot());
    AdmitDeviceValues();
    UpdateData(false);
    OnTelnetClicked();
    OnRawTcpClicked();
    OnSshClicked();
    OnSecureSocketClicked();
    OnUdpClicked();
    ShowCaptions();
    SetModified(false);
    return true;
}

bool SerialPage::OnSetActive()
{
    LoadBindings(Documents().SettingsRoot());
    AdmitDeviceValues();
    const bool result = PropertyPage::OnSetActive();
    // The document may have turned a service on or off since the page last showed it.
    EnableServiceControls();
    return result;
}

bool SerialPage::OnApply()
{
    const bool applied = IsActivePage();
    const bool result = ApplyBindings(&RciDocuments::SettingsRoot, WM_APPLY_SETTINGS);
    if (applied) {
        AdmitDeviceValues();
        UpdateData(false);
        // The device may have kept a service on or off other than asked.
        EnableServiceControls();
    }
    return result;
}

void SerialPage::OnTelnetClicked()
{
    OnServiceClicked(kTelnet);
}

void SerialPage::OnRawTcpClicked()
{
    OnServiceClicked(kRawTcp);
}

void SerialPage::OnSshClicked()
{
    OnServiceClicked(kSsh);
}

void SerialPage::OnSecureSocketClicked()
{
    OnServiceClicked(kSecureSocket);
}

void SerialPage::OnUdpClicked()
{
    OnServiceClicked(kUdp);
}

void SerialPage::OnServiceClicked(std::size_t service)
{
    UpdateData(true);
    const ServiceControls& controls = kServices[service];
    const bool enabled = Fields().Int(controls.enable) == 1;
    EnableControl(controls.port, enabled);
    if (controls.keepalive != 0)
        EnableControl(controls.keepalive, enabled);
    SetModified(true);
}

void SerialPage::EnableServiceControls()
{
    for (const ServiceControls& service : kServices) {
        const auto* box = Control<QCheckBox>(service.enable);
        const bool enabled = box != nullptr && box->isChecked();
        EnableControl(service.port, enabled);
        if (service.keepalive != 0)
            EnableControl(service.keepalive, enabled);
    }
}

void SerialPage::AdmitDeviceValues()
{
    for (const BindingRecord& record : Bindings()) {
        if (record.path.empty())
            break;
        auto* list = (record.kindFlags & BIND_CHOICES) ? Control<QComboBox>(record.controlId) : nullptr;
        if (list == nullptr)
            continue;
        const std::vector<std::string> entries = SplitChoices(record.choiceList);
        const std::string& value = Fields().Text(record.target);
        const int found = FindChoice(entries, value);
        const int offered = static_cast<int>(entries.size());
        const bool extended = list->count() > offered;
        const QString own = QString::fromStdString(value);
        if (found >= 0 ? !extended : (extended && list->itemText(offered) == own))
            continue;
        FillChoiceList(record.controlId, record.choiceList);
        const QSignalBlocker quiet(list);
        if (found < 0)
            list->addItem(own);
        list->setCurrentIndex(found >= 0 ? found : offered);
    }
}

void SerialPage::ShowCaptions()
{
    if (IsControlShown(IDC_BAUD_RATE))
        ShowControl(IDC_BASIC_GROUP);
    for (const LineSetting& setting : kLineSettings)
        if (IsControlShown(setting.list))
            ShowControl(setting.caption);
    if (IsControlShown(IDC_TELNET)) {
        ShowControl(IDC_TCP_SERIAL_CAPTION);
        ShowControl(IDC_NETWORK_GROUP);
    }
}

} // namespace tervane
