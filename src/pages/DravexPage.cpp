#include "DravexPage.h"

#include "FramedGroup.h"
#include "PropertySheet.h"
#include "RciDocuments.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace tervane {

namespace {

constexpr int32_t kMaxHours = 9;
constexpr int32_t kMaxMinutesOrSeconds = 60;

} // namespace

DravexPage::DravexPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(tr("Remote Management"), documents, runner, parent)
{
    setObjectName(QStringLiteral("DravexPage"));
    Bindings() = {
        {"mgmtconnection/connectionEnabled", IDC_DEVICE_INITIATED, IDC_DEVICE_INITIATED, {}, BIND_ONOFF, nullptr,
            nullptr},
        {"mgmtconnection/ServerArray&index=1/serverAddress", IDC_SERVER_ADDRESS, IDC_SERVER_ADDRESS, {}, BIND_TEXT,
            &StripServerPrefix, &AddServerPrefix},
        {"mgmtconnection/clientConnectionReconnectTimeout", FIELD_RECONNECT_INTERVAL, IDC_RECONNECT, {}, BIND_INT,
            nullptr, nullptr},
        {"mgmtconnection&index=3/connectionEnabled", IDC_SERVER_INITIATED, IDC_SERVER_INITIATED, {}, BIND_ONOFF,
            nullptr, nullptr},
        {"mgmtconnection&index=3/lastKnownAddressUpdateEnabled", IDC_LKA_UPDATE, IDC_LKA_UPDATE, {}, BIND_ONOFF,
            nullptr, nullptr},
        {"mgmtconnection&index=3/ServerArray&index=1/serverAddress", IDC_LKA_SERVER_ADDRESS, IDC_LKA_SERVER_ADDRESS,
            {}, BIND_TEXT, nullptr, nullptr},
        {"mgmtconnection&index=3/clientConnectionReconnectTimeout", FIELD_RETRY_INTERVAL, IDC_LKA_RETRY, {},
            BIND_INT, nullptr, nullptr},
    };
    BuildControls();

    ExchangeCheck(IDC_DEVICE_INITIATED, IDC_DEVICE_INITIATED);
    ExchangeText(IDC_SERVER_ADDRESS, IDC_SERVER_ADDRESS);
    ExchangeInt(IDC_RECONNECT_HOURS, IDC_RECONNECT_HOURS, 0, kMaxHours);
    ExchangeInt(IDC_RECONNECT_MINUTES, IDC_RECONNECT_MINUTES, 0, kMaxMinutesOrSeconds);
    ExchangeInt(IDC_RECONNECT_SECONDS, IDC_RECONNECT_SECONDS, 0, kMaxMinutesOrSeconds);
    ExchangeCheck(IDC_RECONNECT, IDC_RECONNECT);
    ExchangeCheck(IDC_SERVER_INITIATED, IDC_SERVER_INITIATED);
    ExchangeText(IDC_LKA_SERVER_ADDRESS, IDC_LKA_SERVER_ADDRESS);
    ExchangeCheck(IDC_LKA_UPDATE, IDC_LKA_UPDATE);
    ExchangeCheck(IDC_LKA_RETRY, IDC_LKA_RETRY);
    ExchangeInt(IDC_RETRY_HOURS, IDC_RETRY_HOURS, 0, kMaxHours);
    ExchangeInt(IDC_RETRY_MINUTES, IDC_RETRY_MINUTES, 0, kMaxMinutesOrSeconds);
    ExchangeInt(IDC_RETRY_SECONDS, IDC_RETRY_SECONDS, 0, kMaxMinutesOrSeconds);

    for (int id : {IDC_SERVER_ADDRESS, IDC_RECONNECT_HOURS, IDC_RECONNECT_MINUTES, IDC_RECONNECT_SECONDS,
             IDC_LKA_SERVER_ADDRESS, IDC_RETRY_HOURS, IDC_RETRY_MINUTES, IDC_RETRY_SECONDS})
        RouteToFieldChange(id);
    connect(Control<QCheckBox>(IDC_DEVICE_INITIATED), &QCheckBox::clicked, this,
        &DravexPage::OnDeviceInitiatedClicked);
    connect(Control<QCheckBox>(IDC_RECONNECT), &QCheckBox::clicked, this, &DravexPage::OnReconnectClicked);
    connect(Control<QCheckBox>(IDC_SERVER_INITIATED), &QCheckBox::clicked, this,
        &DravexPage::OnServerInitiatedClicked);
    connect(Control<QCheckBox>(IDC_LKA_UPDATE), &QCheckBox::clicked, this, &DravexPage::OnLkaUpdateClicked);
    connect(Control<QCheckBox>(IDC_LKA_RETRY), &QCheckBox::clicked, this, &DravexPage::OnLkaRetryClicked);
}

void DravexPage::BuildControls()
{
    const auto box = [this](int id, const char* name, const char* text) {
        auto* control = AddControl(id, new QCheckBox(tr(text)));
        control->setObjectName(QString::fromLatin1(name));
        return control;
    };
    const auto edit = [this](int id, const char* name) {
        auto* control = AddControl(id, new QLineEdit);
        control->setObjectName(QString::fromLatin1(name));
        return control;
    };
    const auto caption = [this](int id, const char* text) { return AddControl(id, new QLabel(tr(text))); };
    // Hours, minutes and seconds, each edit taking figures only and followed by its unit.
    const auto timeRow = [&](const IntervalControls& controls, const char* name, int hoursCaption,
                             const char* rowCaption) {
        auto* row = new QHBoxLayout;
        const int edits[] = {controls.hours, controls.minutes, controls.seconds};
        const char* units[] = {QT_TR_NOOP("hrs"), QT_TR_NOOP("mins"), QT_TR_NOOP("secs")};
        const char* parts[] = {"Hours", "Minutes", "Seconds"};
        const char* spokenUnits[] = {QT_TR_NOOP("hours"), QT_TR_NOOP("minutes"), QT_TR_NOOP("seconds")};
        for (int i = 0; i < 3; ++i) {
            const QByteArray editName = QByteArray(name) + parts[i];
            auto* time = edit(edits[i], editName.constData());
            time->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), time));
            time->setFixedWidth(time->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
            time->setAlignment(Qt::AlignRight);
            // The row's caption stands before the three edits; each is named in full.
            time->setAccessibleName(tr("%1 %2").arg(tr(rowCaption), tr(spokenUnits[i])));
            row->addWidget(time);
            row->addWidget(caption(hoursCaption + i, units[i]));
            row->addSpacing(6);
        }
        row->addStretch(1);
        return row;
    };

    auto* deviceFrame =
        AddControl(IDC_DEVICE_INITIATED_GROUP, new QGroupBox(tr("Device-initiated Management Connection")));
    auto* deviceRows = new QGridLayout;
    deviceRows->addWidget(box(IDC_DEVICE_INITIATED, "deviceInitiated",
                              QT_TR_NOOP(
                                  "Enable Remote Management and Configuration using a device-initiated connection ")),
        0, 0, 1, 2);
    deviceRows->addWidget(caption(IDC_SERVER_ADDRESS_CAPTION, QT_TR_NOOP("Server Address")), 1, 0);
    deviceRows->addWidget(edit(IDC_SERVER_ADDRESS, "serverAddress"), 1, 1);
    deviceRows->addWidget(box(IDC_RECONNECT, "reconnect",
                              QT_TR_NOOP("Automatically reconnect to the server after being disconnected ")),
        2, 0, 1, 2);
    deviceRows->addWidget(caption(IDC_RECONNECT_CAPTION, QT_TR_NOOP("Reconnect after:")), 3, 0);
    deviceRows->addLayout(timeRow(kReconnect, "reconnect", IDC_RECONNECT_HOURS_CAPTION, QT_TR_NOOP("Reconnect after:")),
        3, 1);

    auto* serverFrame =
        AddControl(IDC_SERVER_INITIATED_GROUP, new QGroupBox(tr("Server-initiated Management Connection ")));
    auto* serverRows = new QGridLayout;
    serverRows->addWidget(box(IDC_SERVER_INITIATED, "serverInitiated",
                              QT_TR_NOOP(
                                  "Enable Remote Management and Configuration using a server-initiated connection ")),
        0, 0, 1, 2);
    serverRows->addWidget(box(IDC_LKA_UPDATE, "lkaUpdate",
                              QT_TR_NOOP("Enable Last Known Address (LKA) updates to the following server ")),
        1, 0, 1, 2);
    serverRows->addWidget(caption(IDC_LKA_SERVER_ADDRESS_CAPTION, QT_TR_NOOP("Server Address")), 2, 0);
    serverRows->addWidget(edit(IDC_LKA_SERVER_ADDRESS, "lkaServerAddress"), 2, 1);
    serverRows->addWidget(box(IDC_LKA_RETRY, "lkaRetry", QT_TR_NOOP("Retry if the LKA update fails")), 3, 0, 1, 2);
    serverRows->addWidget(caption(IDC_RETRY_CAPTION, QT_TR_NOOP("Rety after:")), 4, 0);
    serverRows->addLayout(timeRow(kRetry, "retry", IDC_RETRY_HOURS_CAPTION, QT_TR_NOOP("Rety after:")), 4, 1);

    // Both groups keep their captions in one column.
    int captionWidth = 0;
    for (int id : {IDC_SERVER_ADDRESS_CAPTION, IDC_RECONNECT_CAPTION, IDC_LKA_SERVER_ADDRESS_CAPTION, IDC_RETRY_CAPTION})
        captionWidth = std::max(captionWidth, GetDlgItem(id)->sizeHint().width());
    for (QGridLayout* rows : {deviceRows, serverRows}) {
        rows->setColumnMinimumWidth(0, captionWidth);
        rows->setColumnStretch(1, 1);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(FramedGroup(deviceFrame, deviceRows));
    layout->addLayout(FramedGroup(serverFrame, serverRows));
    layout->addStretch(1);
}

bool DravexPage::OnInitDialog()
{
    PropertyPage::OnInitDialog();
    HideAllControls();
    LoadBindings(Documents().SettingsRoot());
    if (IsControlShown(IDC_DEVICE_INITIATED)) {
        ShowControl(IDC_DEVICE_INITIATED_GROUP);
        ShowControl(IDC_SERVER_ADDRESS_CAPTION, IsControlShown(IDC_SERVER_ADDRESS));
        for (int id : {IDC_RECONNECT_CAPTION, IDC_RECONNECT_HOURS, IDC_RECONNECT_MINUTES, IDC_RECONNECT_SECONDS,
                 IDC_RECONNECT_HOURS_CAPTION, IDC_RECONNECT_MINUTES_CAPTION, IDC_RECONNECT_SECONDS_CAPTION})
            ShowControl(id);
        IntervalToFields(kReconnect);
    }
    if (IsControlShown(IDC_SERVER_INITIATED)) {
        ShowControl(IDC_SERVER_INITIATED_GROUP);
        ShowControl(IDC_LKA_SERVER_ADDRESS_CAPTION, IsControlShown(IDC_LKA_SERVER_ADDRESS));
        for (int id : {IDC_RETRY_CAPTION, IDC_RETRY_HOURS, IDC_RETRY_MINUTES, IDC_RETRY_SECONDS,
                 IDC_RETRY_HOURS_CAPTION, IDC_RETRY_MINUTES_CAPTION, IDC_RETRY_SECONDS_CAPTION})
            ShowControl(id);
        IntervalToFields(kRetry);
    }
    UpdateData(false);
    SetModified(false);
    return true;
}

bool DravexPage::OnSetActive()
{
    // Only the bound fields: the time fields and their boxes keep what the user entered.
    LoadBindings(Documents().SettingsRoot());
    return PropertyPage::OnSetActive();
}

bool DravexPage::OnKillActive()
{
    if (!UpdateData(true))
        return false;
    FieldsToInterval(kReconnect);
    FieldsToInterval(kRetry);
    return PropertyPage::OnKillActive();
}

bool DravexPage::OnApply()
{
    const bool acting = IsActivePage();
    const bool result = ApplyBindings(&RciDocuments::SettingsRoot, WM_APPLY_SETTINGS);
    if (acting) {
        // The device may have kept other intervals than the ones sent: show what it holds.
        if (IsControlShown(IDC_DEVICE_INITIATED))
            IntervalToFields(kReconnect);
        if (IsControlShown(IDC_SERVER_INITIATED))
            IntervalToFields(kRetry);
        UpdateData(false);
        CascadeDeviceInitiated();
        CascadeServerInitiated();
    }
    return result;
}

void DravexPage::IntervalToFields(const IntervalControls& controls)
{
    const ScreenInterval screen = tervane::IntervalToScreen(Fields().Int(controls.interval));
    Fields().SetInt(controls.box, screen.enabled);
    Fields().SetInt(controls.hours, screen.hours);
    Fields().SetInt(controls.minutes, screen.minutes);
    Fields().SetInt(controls.seconds, screen.seconds);
    EnableTime(controls, screen.enabled != 0);
}

void DravexPage::FieldsToInterval(const IntervalControls& controls)
{
    const ScreenInterval screen{Fields().Int(controls.box), Fields().Int(controls.hours),
        Fields().Int(controls.minutes), Fields().Int(controls.seconds)};
    Fields().SetInt(controls.interval, tervane::ScreenToInterval(screen));
}

void DravexPage::EnableTime(const IntervalControls& controls, bool enabled)
{
    for (int id : {controls.hours, controls.minutes, controls.seconds})
        EnableControl(id, enabled);
}

bool DravexPage::IsChecked(int controlId) const
{
    const auto* box = Control<QCheckBox>(controlId);
    return box != nullptr && box->isChecked();
}

// The handlers read the fields first, as every step that reads them does, so a time the
// page refuses is reported at once; the switching itself follows the box as the user sees it.

void DravexPage::OnDeviceInitiatedClicked()
{
    UpdateData(true);
    CascadeDeviceInitiated();
    SetModified(true);
}

void DravexPage::OnReconnectClicked()
{
    UpdateData(true);
    CascadeReconnect();
    SetModified(true);
}

void DravexPage::OnServerInitiatedClicked()
{
    UpdateData(true);
    CascadeServerInitiated();
    SetModified(true);
}

void DravexPage::OnLkaUpdateClicked()
{
    UpdateData(true);
    CascadeLkaUpdate();
    SetModified(true);
}

void DravexPage::OnLkaRetryClicked()
{
    UpdateData(true);
    CascadeLkaRetry();
    SetModified(true);
}

void DravexPage::CascadeDeviceInitiated()
{
    if (IsChecked(IDC_DEVICE_INITIATED)) {
        EnableControl(IDC_SERVER_ADDRESS);
        EnableControl(IDC_RECONNECT);
        CascadeReconnect();
    } else {
        EnableControl(IDC_SERVER_ADDRESS, false);
        EnableControl(IDC_RECONNECT, false);
        EnableTime(kReconnect, false);
    }
}

void DravexPage::CascadeReconnect()
{
    EnableTime(kReconnect, IsChecked(IDC_RECONNECT));
}

void DravexPage::CascadeServerInitiated()
{
    if (IsChecked(IDC_SERVER_INITIATED)) {
        EnableControl(IDC_LKA_UPDATE);
        EnableControl(IDC_LKA_SERVER_ADDRESS);
        EnableControl(IDC_LKA_RETRY);
        CascadeLkaUpdate();
    } else {
        EnableControl(IDC_LKA_UPDATE, false);
        EnableControl(IDC_LKA_SERVER_ADDRESS, false);
        EnableControl(IDC_LKA_RETRY, false);
        EnableTime(kRetry, false);
    }
}

void DravexPage::CascadeLkaUpdate()
{
    if (IsChecked(IDC_LKA_UPDATE)) {
        EnableControl(IDC_LKA_SERVER_ADDRESS);
        EnableControl(IDC_LKA_RETRY);
        CascadeLkaRetry();
    } else {
        EnableControl(IDC_LKA_SERVER_ADDRESS, false);
        EnableControl(IDC_LKA_RETRY, false);
        EnableTime(kRetry, false);
    }
}

void DravexPage::CascadeLkaRetry()
{
    EnableTime(kRetry, IsChecked(IDC_LKA_RETRY));
}

} // namespace tervane
