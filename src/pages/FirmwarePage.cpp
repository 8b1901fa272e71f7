#include "FirmwarePage.h"

#include "FirmwareUpdate.h"
#include "PageQuestions.h"
#include "ReadOnlyEdit.h"
#include "RciDocuments.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tervane {

FirmwarePage::FirmwarePage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(tr("Firmware Update"), documents, runner, parent)
{
    setObjectName(QStringLiteral("FirmwarePage"));
    Bindings() = {
        {"device_info/product", IDC_PRODUCT, 0, {}, BIND_TEXT, nullptr, nullptr},
        {kFirmwareVersionPath, IDC_FIRMWARE_VERSION, 0, {}, BIND_TEXT, nullptr, nullptr},
    };
    BuildControls();
    for (int id : {IDC_PRODUCT, IDC_FIRMWARE_VERSION, IDC_FIRMWARE_IMAGE})
        ExchangeText(id, id);
}

void FirmwarePage::BuildControls()
{
    auto* product = AddControl(IDC_PRODUCT, "product", new QLineEdit);
    auto* version = AddControl(IDC_FIRMWARE_VERSION, "firmwareVersion", new QLineEdit);
    auto* image = AddControl(IDC_FIRMWARE_IMAGE, "firmwareImage", new QLineEdit);
    MakeReadOnly(product);
    MakeReadOnly(version);
    auto* browse = AddControl(IDC_BROWSE_FIRMWARE, "browseFirmware", new QPushButton(tr("Browse...")));
    auto* update = AddControl(IDC_UPDATE_FIRMWARE, "updateFirmware", new QPushButton(tr("Update")));
    connect(browse, &QPushButton::clicked, this, &FirmwarePage::OnBrowseFirmware);
    connect(update, &QPushButton::clicked, this, &FirmwarePage::OnUpdateFirmware);

    auto* group = new QGroupBox(tr("Firmware Update"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(tr("Product")), 0, 0);
    grid->addWidget(product, 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Firmware Version")), 1, 0);
    grid->addWidget(version, 1, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Firmware Image")), 2, 0);
    grid->addWidget(image, 2, 1);
    grid->addWidget(browse, 2, 2);
    grid->addWidget(update, 3, 2);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);
}

bool FirmwarePage::OnInitDialog()
{
    PropertyPage::OnInitDialog();
    LoadBindings(Documents().StateRoot());
    UpdateData(false);
    SetModified(false);
    return true;
}

bool FirmwarePage::OnSetActive()
{
    // Another page may have read the state since this one was last shown.
    LoadBindings(Documents().StateRoot());
    return PropertyPage::OnSetActive();
}

QString FirmwarePage::ImagePath() const
{
    return QString::fromStdString(Fields().Text(IDC_FIRMWARE_IMAGE));
}

void FirmwarePage::OnBrowseFirmware()
{
    BrowseForFile(IDC_FIRMWARE_IMAGE, IDC_FIRMWARE_IMAGE, kFirmwareImageChoice);
}

void FirmwarePage::OnUpdateFirmware()
{
    UpdateData(true);
    // The state read back after the install is on the page before a failure is reported.
    PageQuestions questions(this, [this] { ShowState(); });
    UpdateFirmware(LocalPath(IDC_FIRMWARE_IMAGE), Documents(), Runner(), questions);
}

void FirmwarePage::ShowState()
{
    LoadBindings(Documents().StateRoot());
    UpdateData(false);
}

} // namespace tervane
