#include "FirmwarePage.h"

#include "FileDialog.h"
#include "FirmwareUpdate.h"
#include "PageQuestions.h"
#include "RciDocuments.h"

#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tervane {

namespace {

QLineEdit* Edit(const char* objectName, bool readOnly)
{
    auto* edit = new QLineEdit;
    edit->setReadOnly(readOnly);
    edit->setObjectName(QString::fromLatin1(objectName));
    return edit;
}

QPushButton* Button(const QString& text, const char* objectName)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

} // namespace

FirmwarePage::FirmwarePage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(QStringLiteral("Firmware Update"), documents, runner, parent)
{
    setObjectName(QStringLiteral("FirmwarePage"));
    Bindings() = {
        {"device_info/product", IDC_PRODUCT, 0, {}, BIND_TEXT, nullptr, nullptr},
        {"device_info/firmwaresoftrevstr", IDC_FIRMWARE_VERSION, 0, {}, BIND_TEXT, nullptr, nullptr},
    };
    BuildControls();
    for (int id : {IDC_PRODUCT, IDC_FIRMWARE_VERSION, IDC_FIRMWARE_IMAGE})
        ExchangeText(id, id);
}

void FirmwarePage::BuildControls()
{
    auto* product = AddControl(IDC_PRODUCT, Edit("product", true));
    auto* version = AddControl(IDC_FIRMWARE_VERSION, Edit("firmwareVersion", true));
    auto* image = AddControl(IDC_FIRMWARE_IMAGE, Edit("firmwareImage", false));
    auto* browse = AddControl(IDC_BROWSE_FIRMWARE, Button(QStringLiteral("Browse..."), "browseFirmware"));
    auto* update = AddControl(IDC_UPDATE_FIRMWARE, Button(QStringLiteral("Update"), "updateFirmware"));
    connect(browse, &QPushButton::clicked, this, &FirmwarePage::OnBrowseFirmware);
    connect(update, &QPushButton::clicked, this, &FirmwarePage::OnUpdateFirmware);

    auto* group = new QGroupBox(QStringLiteral("Firmware Update"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Product")), 0, 0);
    grid->addWidget(product, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Firmware Version")), 1, 0);
    grid->addWidget(version, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Firmware Image")), 2, 0);
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
    FileChoice choice = kFirmwareImageChoice;
    choice.initialName = Fields().Text(IDC_FIRMWARE_IMAGE);
    if (const std::optional<QString> path = FileDialog::GetOpenFileName(this, choice))
        Fields().SetText(IDC_FIRMWARE_IMAGE, path->toStdString());
    UpdateData(false);
}

void FirmwarePage::OnUpdateFirmware()
{
    UpdateData(true);
    // The state read back after the install is on the page before a failure is reported.
    PageQuestions questions(this, [this] { ShowState(); });
    UpdateFirmware(QFile::encodeName(ImagePath()).toStdString(), Documents(), Runner(), questions);
}

void FirmwarePage::ShowState()
{
    LoadBindings(Documents().StateRoot());
    UpdateData(false);
}

} // namespace tervane
