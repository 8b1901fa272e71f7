#include "CellPage.h"

#include "BandConverters.h"
#include "ChoiceList.h"
#include "FramedGroup.h"
#include "PropertySheet.h"
#include "RciDocuments.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace tervane {

CellPage::CellPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(tr("Mobile"), documents, runner, parent)
{
    setObjectName(QStringLiteral("CellPage"));
    Bindings() = {
        {"mobile_simple/apn", IDC_APN, IDC_APN, {}, BIND_TEXT, nullptr, nullptr},
        {"mobile_simple/username", IDC_USERNAME, IDC_USERNAME, {}, BIND_TEXT, nullptr, nullptr},
        {"mobile_simple/password", IDC_PASSWORD, IDC_PASSWORD, {}, BIND_TEXT, nullptr, nullptr},
        {"mobile_simple/pin", IDC_PIN, IDC_PIN, {}, BIND_TEXT, nullptr, nullptr},
        {"mobile_simple/mobile_gsm_band", IDC_BAND, IDC_BAND, std::string(kBandChoiceList), BIND_TEXT | BIND_CHOICES,
            &BandValueToLabel, &BandLabelToValue},
    };
    BuildControls();
    for (int id : {IDC_APN, IDC_USERNAME, IDC_PASSWORD, IDC_PIN}) {
        ExchangeText(id, id);
        RouteToFieldChange(id);
    }
    RouteToFieldChange(IDC_BAND);
}

void CellPage::BuildControls()
{
    const auto edit = [this](int id, const char* name) {
        auto* control = AddControl(id, new QLineEdit);
        control->setObjectName(QString::fromLatin1(name));
        return control;
    };
    const auto caption = [this](int id, const char* text) { return AddControl(id, new QLabel(tr(text))); };

    auto* providerFrame = AddControl(IDC_PROVIDER_GROUP, new QGroupBox(tr("Mobile Service Provider Settings")));
    auto* providerRows = new QGridLayout;
    providerRows->addWidget(caption(IDC_APN_CAPTION, QT_TR_NOOP("Service Plan/APN")), 0, 0);
    providerRows->addWidget(edit(IDC_APN, "apn"), 0, 1);
    providerRows->addWidget(caption(IDC_USERNAME_CAPTION, QT_TR_NOOP("Username")), 1, 0);
    providerRows->addWidget(edit(IDC_USERNAME, "username"), 1, 1);
    providerRows->addWidget(caption(IDC_PASSWORD_CAPTION, QT_TR_NOOP("Password")), 2, 0);
    providerRows->addWidget(edit(IDC_PASSWORD, "password"), 2, 1);
    providerRows->addWidget(caption(IDC_PIN_CAPTION, QT_TR_NOOP("SIM Pin")), 3, 0);
    providerRows->addWidget(edit(IDC_PIN, "pin"), 3, 1);

    auto* bandFrame = AddControl(IDC_BAND_GROUP, new QGroupBox(tr("Mobile Band Settings")));
    auto* bandRows = new QGridLayout;
    auto* band = AddControl(IDC_BAND, new QComboBox);
    band->setObjectName(QStringLiteral("band"));
    band->setMaxVisibleItems(5);
    bandRows->addWidget(caption(IDC_BAND_CAPTION, QT_TR_NOOP("Band Configuration")), 0, 0);
    bandRows->addWidget(band, 0, 1);

    // Both groups keep their captions in one column.
    const int captionWidth = std::max(GetDlgItem(IDC_APN_CAPTION)->sizeHint().width(),
        GetDlgItem(IDC_BAND_CAPTION)->sizeHint().width());
    providerRows->setColumnMinimumWidth(0, captionWidth);
    bandRows->setColumnMinimumWidth(0, captionWidth);
    providerRows->setColumnStretch(1, 1);
    bandRows->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(FramedGroup(providerFrame, providerRows));
    layout->addLayout(FramedGroup(bandFrame, bandRows));
    layout->addStretch(1);
}

bool CellPage::OnInitDialog()
{
    PropertyPage::OnInitDialog();
    FillChoiceList(IDC_BAND, kBandChoiceList);
    if (auto* band = Control<QComboBox>(IDC_BAND))
        band->setCurrentIndex(0);
    HideAllControls();
    LoadBindings(Documents().SettingsRoot());
    if (IsControlShown(IDC_APN)) {
        ShowControl(IDC_APN_CAPTION);
        ShowControl(IDC_PROVIDER_GROUP);
    }
    ShowControl(IDC_USERNAME_CAPTION, IsControlShown(IDC_USERNAME));
    ShowControl(IDC_PASSWORD_CAPTION, IsControlShown(IDC_PASSWORD));
    ShowControl(IDC_PIN_CAPTION, IsControlShown(IDC_PIN));
    if (IsControlShown(IDC_BAND)) {
        ShowControl(IDC_BAND_CAPTION);
        ShowControl(IDC_BAND_GROUP);
    }
    UpdateData(false);
    SetModified(false);
    return true;
}

bool CellPage::OnSetActive()
{
    LoadBindings(Documents().SettingsRoot());
    return PropertyPage::OnSetActive();
}

bool CellPage::OnApply()
{
    // A band the list does not know (the device may report one) is sent back as the
    // device reported it: only a band the user chose replaces it.
    BindingTable stored = Bindings();
    if (BandLabelToValue(Fields().Text(IDC_BAND)).empty())
        std::erase_if(stored, [](const BindingRecord& record) { return record.target == IDC_BAND; });
    return ApplyBindings(&RciDocuments::SettingsRoot, WM_APPLY_SETTINGS, stored);
}

bool CellPage::DoDataExchange(bool saveAndValidate)
{
    if (!PropertyPage::DoDataExchange(saveAndValidate))
        return false;
    auto* band = Control<QComboBox>(IDC_BAND);
    if (band == nullptr)
        return true;
    if (saveAndValidate) {
        Fields().SetText(IDC_BAND, band->currentIndex() < 0 ? std::string() : band->currentText().toStdString());
        return true;
    }
    const std::string& label = Fields().Text(IDC_BAND);
    // A band without label shows no entry, rather than the first one it would otherwise
    // match and then store in its place.
    if (label.empty()) {
        band->setCurrentIndex(-1);
        return true;
    }
    std::vector<std::string> entries;
    for (int i = 0; i < band->count(); ++i)
        entries.push_back(band->itemText(i).toStdString());
    if (const int found = FindChoice(entries, label); found >= 0)
        band->setCurrentIndex(found);
    return true;
}

} // namespace tervane
