#include "UtilsPage.h"

#include "ConfigBackup.h"
#include "DeviceReset.h"
#include "DeviceRunner.h"
#include "MessageBox.h"
#include "PageQuestions.h"
#include "SerialLink.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tervane {

namespace {

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
    : PropertyPage(tr("Utilities"), documents, runner, parent)
{
    setObjectName(QStringLiteral("UtilsPage"));
    BuildControls();
    ExchangeText(IDC_RESTORE_PATH, IDC_RESTORE_PATH);
}

void UtilsPage::BuildControls()
{
    auto* backup = AddControl(IDC_BACKUP, "backup", new QPushButton(tr("Backup")));
    auto* path = AddControl(IDC_RESTORE_PATH, new QLineEdit);
    path->setObjectName(QStringLiteral("restorePath"));
    auto* browse = AddControl(IDC_BROWSE_CONFIG, "browseConfig", new QPushButton(tr("Browse...")));
    auto* restore = AddControl(IDC_RESTORE_CONFIG, "restoreConfig", new QPushButton(tr("Restore")));
    auto* reboot = AddControl(IDC_REBOOT, "reboot", new QPushButton(tr("Reboot")));
    auto* defaults = AddControl(IDC_RESTORE_DEFAULTS, "restoreDefaults", new QPushButton(tr("Restore")));
    // Both restore buttons read "Restore"; a screen reader tells them apart by these names.
    restore->setAccessibleName(tr("Restore settings from file"));
    defaults->setAccessibleName(tr("Restore factory defaults"));
    connect(backup, &QPushButton::clicked, this, &UtilsPage::OnBackup);
    connect(browse, &QPushButton::clicked, this, &UtilsPage::OnBrowseConfig);
    connect(restore, &QPushButton::clicked, this, &UtilsPage::OnRestoreConfig);
    connect(reboot, &QPushButton::clicked, this, &UtilsPage::OnReboot);
    connect(defaults, &QPushButton::clicked, this, &UtilsPage::OnRestoreDefaults);

    auto* restoreRow = new QHBoxLayout;
    restoreRow->addWidget(new QLabel(tr("Select File")));
    restoreRow->addWidget(path, 1);
    restoreRow->addWidget(browse);
    restoreRow->addWidget(restore);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Group(tr("Backup Device Settings"),
        tr("Backup configuration to a file on your PC or server.  You will be prompted for where to save "
           "the backup file. "),
        this, ButtonRow(backup)));
    layout->addWidget(Group(tr("Restore Device Settings"),
        tr("Restore configuration from a file on your PC or server. "), this, restoreRow));
    layout->addWidget(Group(tr("Reboot Device"),
        tr("The reboot process will take approximately 10 seconds to complete.\r\nClick Reboot now to "
           "reboot the device."),
        this, ButtonRow(reboot)));
    layout->addWidget(Group(tr("Restore Factory Default Settings"),
        tr("Caution! Restoring the factory default settings will clear all current settings and "
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
    BrowseForFile(IDC_RESTORE_PATH, IDC_RESTORE_PATH, kConfigFileChoice);
}

void UtilsPage::OnRestoreConfig()
{
    UpdateData(true);
    PageQuestions questions(this);
    RestoreConfig(LocalPath(IDC_RESTORE_PATH), Documents(), Runner(), questions);
}

void UtilsPage::OnReboot()
{
    RebootDevice(Runner());
}

void UtilsPage::OnRestoreDefaults()
{
    // One click would clear every setting of the device: the user confirms first, and
    // keeping the settings is the default.
    MessageBoxRequest question;
    question.owner = this;
    question.caption = tr("Restore Factory Default Settings");
    question.text = tr("Restore the factory default settings of the Skellin Q7 on %1? Every current setting is "
                       "cleared and the device restarts.")
                        .arg(QString::fromStdString(Runner().Link().PortName()));
    question.icon = QMessageBox::Warning;
    question.buttons = QMessageBox::RestoreDefaults | QMessageBox::Cancel;
    question.defaultButton = QMessageBox::Cancel;
    if (MessageBox::Show(question) != QMessageBox::RestoreDefaults)
        return;
    PageQuestions questions(this);
    RestoreDefaults(Documents(), Runner(), questions);
}

} // namespace tervane
