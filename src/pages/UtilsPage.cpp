#include "UtilsPage.h"

#include "ConfigBackup.h"
#include "DeviceReset.h"
#include "FileDialog.h"
#include "PageQuestions.h"

#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tervane {

namespace {

QPushButton* Button(const QString& text, const char* objectName)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

QLabel* Explanation(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

// A framed group: its explanation above a row of controls.
QGroupBox* Group(const QString& caption, const QString& text, QWidget* page, QLayout* row)
{
    auto* group = new QGroupBox(caption, page);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(Explanation(text));
    layout->addLayout(row);
    return group;
}

QHBoxLayout* ButtonRow(QPushButton* button)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(button);
    return row;
}

} // namespace

UtilsPage::UtilsPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(QStringLiteral("Utilities"), documents, runner, parent)
{
    setObjectName(QStringLiteral("UtilsPage"));
    BuildControls();
    ExchangeText(IDC_RESTORE_PATH, IDC_RESTORE_PATH);
}

void UtilsPage::BuildControls()
{
    auto* backup = AddControl(IDC_BACKUP, Button(QStringLiteral("Backup"), "backup"));
    auto* path = AddControl(IDC_RESTORE_PATH, new QLineEdit);
    path->setObjectName(QStringLiteral("restorePath"));
    auto* browse = AddControl(IDC_BROWSE_CONFIG, Button(QStringLiteral("Browse..."), "browseConfig"));
    auto* restore = AddControl(IDC_RESTORE_CONFIG, Button(QStringLiteral("Restore"), "restoreConfig"));
    auto* reboot = AddControl(IDC_REBOOT, Button(QStringLiteral("Reboot"), "reboot"));
    auto* defaults = AddControl(IDC_RESTORE_DEFAULTS, Button(QStringLiteral("Restore"), "restoreDefaults"));
    connect(backup, &QPushButton::clicked, this, &UtilsPage::OnBackup);
    connect(browse, &QPushButton::clicked, this, &UtilsPage::OnBrowseConfig);
    connect(restore, &QPushButton::clicked, this, &UtilsPage::OnRestoreConfig);
    connect(reboot, &QPushButton::clicked, this, &UtilsPage::OnReboot);
    connect(defaults, &QPushButton::clicked, this, &UtilsPage::OnRestoreDefaults);

    auto* restoreRow = new QHBoxLayout;
    restoreRow->addWidget(new QLabel(QStringLiteral("Select File")));
    restoreRow->addWidget(path, 1);
    restoreRow->addWidget(browse);
    restoreRow->addWidget(restore);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Group(QStringLiteral("Backup Device Settings"),
        QStringLiteral("Backup configuration to a file on your PC or server.  You will be prompted for where to save "
                       "the backup file. "),
        this, ButtonRow(backup)));
    layout->addWidget(Group(QStringLiteral("Restore Device Settings"),
        QStringLiteral("Restore configuration from a file on your PC or server. "), this, restoreRow));
    layout->addWidget(Group(QStringLiteral("Reboot Device"),
        QStringLiteral("The reboot process will take approximately 10 seconds to complete.\r\nClick Reboot now to "
                       "reboot the device."),
        this, ButtonRow(reboot)));
    layout->addWidget(Group(QStringLiteral("Restore Factory Default Settings"),
        QStringLiteral("Caution! Restoring the factory default settings will clear all current settings and "
                       "automatically reboot the device. "),
        this, ButtonRow(defaults)));
    layout->addStretch(1);
}

QString UtilsPage::RestorePath() const
{
    return QString::fromStdString(Fields().Text(IDC_RESTORE_PATH));
}

void UtilsPage::OnBackup()
{
    PageQuestions questions(this);
    BackupConfig(Documents(), questions);
}

void UtilsPage::OnBrowseConfig()
{
    FileChoice choice = kConfigFileChoice;
    choice.initialName = Fields().Text(IDC_RESTORE_PATH);
    if (const std::optional<QString> path = FileDialog::GetOpenFileName(this, choice))
        Fields().SetText(IDC_RESTORE_PATH, path->toStdString());
    UpdateData(false);
}

void UtilsPage::OnRestoreConfig()
{
    UpdateData(true);
    PageQuestions questions(this);
    RestoreConfig(QFile::encodeName(RestorePath()).toStdString(), Documents(), Runner(), questions);
}

void UtilsPage::OnReboot()
{
    RebootDevice(Runner());
}

void UtilsPage::OnRestoreDefaults()
{
    PageQuestions questions(this);
    RestoreDefaults(Documents(), Runner(), questions);
}

} // namespace tervane
