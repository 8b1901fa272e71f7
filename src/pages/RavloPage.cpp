#include "RavloPage.h"

#include "MessageBox.h"
#include "PageQuestions.h"
#include "PropertySheet.h"
#include "RadioFirmwareUpdate.h"
#include "RadioSettingChecks.h"
#include "RciDocuments.h"
#include "ReadOnlyEdit.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <array>

namespace tervane {

namespace {

enum class Entry { ReadOnly, Text, Digits };

// One line of a group: caption, edit and the hint beside it.
struct Line {
    int edit;
    const char* caption;
    Entry entry;
    const char* hint;  // none: no hint
};

constexpr std::array<Line, 3> kInformationLines {{
    {RavloPage::IDC_EXTENDED_ADDRESS, QT_TRANSLATE_NOOP("tervane::RavloPage", "Extended Address"), Entry::ReadOnly,
        nullptr},
    {RavloPage::IDC_PRODUCT_TYPE, QT_TRANSLATE_NOOP("tervane::RavloPage", "Product Type"), Entry::ReadOnly, nullptr},
    {RavloPage::IDC_RADIO_FIRMWARE_VERSION, QT_TRANSLATE_NOOP("tervane::RavloPage", "Firmware Version"),
        Entry::ReadOnly, nullptr},
}};

constexpr std::array<Line, 6> kSettingLines {{
    {RavloPage::IDC_EXTENDED_PAN_ID, QT_TRANSLATE_NOOP("tervane::RavloPage", "Extended PAN ID (ID)"), Entry::Text,
        QT_TRANSLATE_NOOP("tervane::RavloPage", "(Set to 0 to allow a random PAN ID to be used)")},
    {RavloPage::IDC_NODE_ID, QT_TRANSLATE_NOOP("tervane::RavloPage", "Node Identifier (NI)"), Entry::Text, nullptr},
    {RavloPage::IDC_DISCOVER_TIMEOUT, QT_TRANSLATE_NOOP("tervane::RavloPage", "Discover Timeout (NT)"), Entry::Digits,
        QT_TRANSLATE_NOOP("tervane::RavloPage", "tenths of second (0-252) ")},
    {RavloPage::IDC_SCAN_CHANNELS, QT_TRANSLATE_NOOP("tervane::RavloPage", "Scan Channels (SC)"), Entry::Text,
        QT_TRANSLATE_NOOP("tervane::RavloPage", "hex (0xffff=all channels)")},
    {RavloPage::IDC_SCAN_DURATION, QT_TRANSLATE_NOOP("tervane::RavloPage", "Scan Duration (SD)"), Entry::Digits,
        QT_TRANSLATE_NOOP("tervane::RavloPage", "(0-7)")},
    {RavloPage::IDC_JOIN_TIME, QT_TRANSLATE_NOOP("tervane::RavloPage", "Allows Join Time (NJ)"), Entry::Digits,
        QT_TRANSLATE_NOOP("tervane::RavloPage", "seconds (0-255. 255=always) ")},
}};

int ControlOf(RadioField field)
{
    switch (field) {
    case RadioField::ExtendedPanId: return RavloPage::IDC_EXTENDED_PAN_ID;
    case RadioField::DiscoverTimeout: return RavloPage::IDC_DISCOVER_TIMEOUT;
    case RadioField::ScanChannels: return RavloPage::IDC_SCAN_CHANNELS;
    case RadioField::ScanDuration: return RavloPage::IDC_SCAN_DURATION;
    case RadioField::JoinTime: return RavloPage::IDC_JOIN_TIME;
    }
    return 0;
}

} // namespace

RavloPage::RavloPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(tr("Ravlo"), documents, runner, parent)
{
    setObjectName(QStringLiteral("RavloPage"));
    Fields().SetText(IDC_PRODUCT_TYPE, kProductType);
    // zigbee_state paths exist only in the state document, radio paths only in the radio
    // settings document. The extended PAN ID is bound twice: the radio's own value, when
    // the radio settings hold one, replaces the state's.
    Bindings() = {
        {"zigbee_state/gateway_addr", IDC_EXTENDED_ADDRESS, IDC_EXTENDED_ADDRESS, {}, BIND_TEXT, nullptr, nullptr},
        {"zigbee_state/ext_pan_id", IDC_EXTENDED_PAN_ID, IDC_EXTENDED_PAN_ID, {}, BIND_TEXT, nullptr, nullptr},
        {kRadioFirmwareVersionPath, IDC_RADIO_FIRMWARE_VERSION, IDC_RADIO_FIRMWARE_VERSION, {}, BIND_TEXT, nullptr,
            nullptr},
        {"radio/ext_pan_id", IDC_EXTENDED_PAN_ID, IDC_EXTENDED_PAN_ID, {}, BIND_TEXT, nullptr, nullptr},
        {"radio/join_time", IDC_JOIN_TIME, IDC_JOIN_TIME, {}, BIND_TEXT, nullptr, nullptr},
        {"radio/node_id", IDC_NODE_ID, IDC_NODE_ID, {}, BIND_TEXT, nullptr, nullptr},
        {"radio/discover_timeout", IDC_DISCOVER_TIMEOUT, IDC_DISCOVER_TIMEOUT, {}, BIND_TEXT, nullptr, nullptr},
        {"radio/scan_channels", IDC_SCAN_CHANNELS, IDC_SCAN_CHANNELS, {}, BIND_TEXT, nullptr, nullptr},
        {"radio/scan_duration", IDC_SCAN_DURATION, IDC_SCAN_DURATION, {}, BIND_TEXT, nullptr, nullptr},
    };
    BuildControls();

    for (const Line& line : kInformationLines)
        ExchangeText(line.edit, line.edit);
    for (const Line& line : kSettingLines) {
        ExchangeText(line.edit, line.edit);
        RouteToFieldChange(line.edit);
    }
    // The image path is no setting: editing it leaves Apply as it is.
    ExchangeText(IDC_FIRMWARE_FILE, IDC_FIRMWARE_FILE);
}

void RavloPage::BuildControls()
{
    const auto addLines = [this](QGroupBox* group, const auto& lines) {
        auto* grid = new QGridLayout(group);
        int row = 0;
        for (const Line& line : lines) {
            auto* caption = AddControl(line.edit + kCaptionOffset, new QLabel(tr(line.caption)));
            auto* edit = AddControl(line.edit, new QLineEdit);
            caption->setBuddy(edit);
            if (line.entry == Entry::ReadOnly)
                MakeReadOnly(edit);
            else if (line.entry == Entry::Digits)
                edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
            grid->addWidget(caption, row, 0);
            grid->addWidget(edit, row, 1);
            if (line.hint != nullptr)
                grid->addWidget(AddControl(line.edit + kHintOffset, new QLabel(tr(line.hint))), row, 2);
            ++row;
        }
        grid->setColumnStretch(1, 1);
        grid->setColumnMinimumWidth(0, 150);
        return grid;
    };

    auto* information = new QGroupBox(tr("Ravlo Information"), this);
    addLines(information, kInformationLines);
    auto* settings = new QGroupBox(tr("Basic Ravlo Settings"), this);
    settings->setObjectName(QStringLiteral("settingsGroup"));
    addLines(settings, kSettingLines);
    Control<QLineEdit>(IDC_EXTENDED_PAN_ID)->setMaxLength(kExtendedPanIdLength);

    auto* update = new QGroupBox(tr("Update Ravlo Firmware"), this);
    auto* updateGrid = new QGridLayout(update);
    auto* fileCaption = AddControl(IDC_FIRMWARE_FILE + kCaptionOffset, new QLabel(tr("Select Firmware File")));
    auto* file = AddControl(IDC_FIRMWARE_FILE, new QLineEdit);
    fileCaption->setBuddy(file);
    auto* browse = AddControl(IDC_BROWSE, new QPushButton(tr("Browse...")));
    auto* flash = AddControl(IDC_UPDATE, new QPushButton(tr("Update")));
    updateGrid->addWidget(fileCaption, 0, 0);
    updateGrid->addWidget(file, 0, 1);
    updateGrid->addWidget(browse, 0, 2);
    updateGrid->addWidget(flash, 1, 2);
    updateGrid->setColumnStretch(1, 1);
    updateGrid->setColumnMinimumWidth(0, 150);
    connect(browse, &QPushButton::clicked, this, &RavloPage::OnBrowseRadioFirmware);
    connect(flash, &QPushButton::clicked, this, &RavloPage::OnUpdateRadioFirmware);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(information);
    layout->addWidget(settings);
    layout->addWidget(update);
    layout->addStretch(1);
}

bool RavloPage::OnInitDialog()
{
    PropertyPage::OnInitDialog();
    LoadBindings(Documents().StateRoot());
    LoadBindings(Documents().RadioSettingsRoot());
    UpdateData(false);
    SetModified(false);
    return true;
}

bool RavloPage::OnApply()
{
    if (!IsActivePage())
        return PropertyPage::OnApply();
    UpdateData(true);
    const RadioSettingTexts texts{
        Fields().Text(IDC_EXTENDED_PAN_ID),
        Fields().Text(IDC_DISCOVER_TIMEOUT),
        Fields().Text(IDC_SCAN_CHANNELS),
        Fields().Text(IDC_SCAN_DURATION),
        Fields().Text(IDC_JOIN_TIME),
    };
    if (const auto refusal = CheckRadioSettings(texts))
        return RefuseValue(ControlOf(refusal->field),
            QCoreApplication::translate("tervane::RadioSettingChecks", std::string(refusal->message).c_str()));
    return ApplyBindings(&RciDocuments::RadioSettingsRoot, WM_APPLY_RADIO_SETTINGS);
}

bool RavloPage::RefuseValue(int controlId, const QString& message)
{
    MessageBox::Show(this, message, tr("Error"), QMessageBox::NoIcon, QMessageBox::Ok);
    if (auto* edit = Control<QLineEdit>(controlId)) {
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
    }
    return false;
}

void RavloPage::OnBrowseRadioFirmware()
{
    BrowseForFile(IDC_FIRMWARE_FILE, IDC_FIRMWARE_FILE, kRadioFirmwareChoice);
}

void RavloPage::OnUpdateRadioFirmware()
{
    UpdateData(true);
    PageQuestions questions(this, [this] { ReloadFromDocuments(); });
    UpdateRadioFirmware(LocalPath(IDC_FIRMWARE_FILE), Documents(), Runner(), questions);
}

void RavloPage::ReloadFromDocuments()
{
    LoadBindings(Documents().StateRoot());
    LoadBindings(Documents().RadioSettingsRoot());
    UpdateData(false);
}

} // namespace tervane
