// The "Utilities" page driven as a person would, against the simulated device.
#include "PageSimFixture.h"
#include "ProcedureSteps.h"
#include "RciRequests.h"
#include "SafeXml.h"
#include "SettingPath.h"
#include "SettingsPayload.h"
#include "UtilsPage.h"

#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

using namespace tervane;
using namespace tervane::test;

class UtilsPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitXmlLibrary(); }
    void init() { m_f = std::make_unique<PageSimFixture<UtilsPage>>(kRestartClock); }
    void cleanup() { m_f.reset(); }

    void showsItsFourGroups();
    void backupThenRestoreSendsTheSameSettings();
    void browseCancelledShowsTheStoredPathAgain();
    void restoreWithoutPathSendsNothing();
    void rebootRestartsTheDevice();
    void factoryDefaultsKeepTheSettingsWhenTheirQueryFails();
    void factoryDefaultsAskFirst_data();
    void factoryDefaultsAskFirst();

private:
    QLineEdit* Path() const { return m_f->Find<QLineEdit>("restorePath"); }

    std::unique_ptr<PageSimFixture<UtilsPage>> m_f;
};

void UtilsPageTest::showsItsFourGroups()
{
    QVERIFY(m_f->Open(FastRestarts(), {}, DocumentsFrom::DeviceQuery));
    QVERIFY(Path()->text().isEmpty());
    QVERIFY(m_f->device->ReceivedCommands().size() > 0);
    QVERIFY(m_f->SaveScreenshot(QStringLiteral("UtilsPage.png")));
}

void UtilsPageTest::backupThenRestoreSendsTheSameSettings()
{
    QVERIFY(m_f->Open());
    const std::optional<std::string> payload = PrepareSettingsPayload(m_f->documents.SettingsDocument());
    QVERIFY(payload);
    const QString backup = QString::fromStdString(m_f->dir + "/backup.cfg");
    FileDialog::setAnswerer([&](const FileDialogRequest&) { return std::optional<QString>(backup); });

    m_f->Click("backup");

    QVERIFY(MessageBox::history().isEmpty());
    QVERIFY(std::filesystem::file_size(backup.toStdString()) > 0);
    const FileDialogRequest save = FileDialog::history().constFirst();
    QCOMPARE(save.mode, FileDialogRequest::Mode::Save);
    QCOMPARE(save.owner, m_f->page.get());
    QCOMPARE(save.defaultSuffix, QStringLiteral("cfg"));
    QCOMPARE(save.initialName, QStringLiteral("backup.cfg"));

    // The device changes meanwhile; restoring the backup brings the old value back.
    QVERIFY(m_f->device->SetSetting("mobile_simple/apn", "changed.example"));
    m_f->Click("browseConfig");
    QCOMPARE(Path()->text(), backup);
    const FileDialogRequest open = FileDialog::history().constLast();
    QCOMPARE(open.mode, FileDialogRequest::Mode::Open);
    QCOMPARE(open.defaultSuffix, QStringLiteral("cfg"));
    QCOMPARE(open.nameFilters, QStringList{QStringLiteral("*.cfg (*)")});
    m_f->device->ClearReceivedCommands();

    m_f->Click("restoreConfig");

    QVERIFY(MessageBox::history().isEmpty());
    const auto commands = m_f->device->ReceivedCommands();
    QCOMPARE(commands.size(), std::size_t(4));
    QCOMPARE(commands[0], std::string("at&usbinterface=22"));
    QVERIFY(commands[1] == *payload);
    QCOMPARE(commands[2], std::string("at+CFUN=1"));
    QVERIFY(commands[3].find("<query_setting></query_setting>") != std::string::npos);
    QCOMPARE(m_f->device->RestartCount(), 1);
    QVERIFY(m_f->device->Setting("mobile_simple/apn") != "changed.example");
    // The settings read back after the reboot are the ones the file held.
    QVERIFY(PrepareSettingsPayload(m_f->documents.SettingsDocument()) == payload);
}

void UtilsPageTest::browseCancelledShowsTheStoredPathAgain()
{
    QVERIFY(m_f->Open());
    const QString chosen = QString::fromStdString(m_f->LocalFile("site.cfg", "<rci_request/>"));
    FileDialog::setAnswerer([&](const FileDialogRequest&) { return std::optional<QString>(chosen); });
    m_f->Click("browseConfig");
    Retype(Path(), QStringLiteral("unsaved.cfg"));
    FileDialog::setAnswerer([](const FileDialogRequest&) { return std::optional<QString>(); });

    m_f->Click("browseConfig");

    QCOMPARE(Path()->text(), chosen);
    QCOMPARE(m_f->page->RestorePath(), chosen);
    QCOMPARE(FileDialog::history().constLast().initialName, chosen);
}

void UtilsPageTest::restoreWithoutPathSendsNothing()
{
    QVERIFY(m_f->Open());
    m_f->device->ClearReceivedCommands();

    m_f->Click("restoreConfig");

    QCOMPARE(MessageBox::history().size(), 1);
    const MessageBoxRequest& box = MessageBox::history().first();
    QCOMPARE(box.caption, QStringLiteral("Please enter a filename"));
    QCOMPARE(box.text, QStringLiteral("You must select the configuration file to restore."));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(box.owner == nullptr);
    QVERIFY(m_f->device->ReceivedCommands().empty());
}

void UtilsPageTest::rebootRestartsTheDevice()
{
    QVERIFY(m_f->Open());
    m_f->device->ClearReceivedCommands();

    m_f->Click("reboot");

    QCOMPARE(m_f->device->ReceivedCommands(), std::vector<std::string>{"at+CFUN=1"});
    // The device restarts once it has answered.
    QTRY_COMPARE(m_f->device->RestartCount(), 1);
    QVERIFY(MessageBox::history().isEmpty());
}

void UtilsPageTest::factoryDefaultsKeepTheSettingsWhenTheirQueryFails()
{
    QVERIFY(m_f->Open());
    // The dashboard holds a custom APN, read by the Device Information page's refresh.
    QVERIFY(m_f->device->SetSetting("mobile_simple/apn", "custom.apn"));
    m_f->ClickTab(m_f->kMainTab);
    QTest::mouseClick(m_f->main->findChild<QPushButton*>("refresh"), Qt::LeftButton);
    m_f->ClickTab(m_f->kPageTab);
    QCOMPARE(SettingText(m_f->documents.SettingsRoot(), "mobile_simple/apn"), std::optional<std::string>("custom.apn"));
    m_f->documents.ParseState("<rci_reply><query_state><device_info><product>stale</product></device_info>"
                              "</query_state></rci_reply>");
    m_f->device->ChangeFaults([](sim::Faults& faults) { faults.errorFor = {"<query_setting></query_setting>"}; });
    m_f->device->ClearReceivedCommands();

    MessageBox::setNextAnswer(QMessageBox::RestoreDefaults);
    m_f->Click("restoreDefaults");

    // The question alone: nothing is reported.
    QCOMPARE(MessageBox::history().size(), 1);
    QVERIFY(m_f->device->ReceivedCommands().front().find("<set_factory_default/>") != std::string::npos);
    QVERIFY(m_f->device->Setting("mobile_simple/apn") != "custom.apn");
    QCOMPARE(m_f->device->RestartCount(), 1);
    // The settings query failed: the settings stay as they were; the state was read again.
    QCOMPARE(SettingText(m_f->documents.SettingsRoot(), "mobile_simple/apn"), std::optional<std::string>("custom.apn"));
    const std::optional<std::string> product = SettingText(m_f->documents.StateRoot(), "device_info/product");
    QVERIFY(product && *product != "stale");
}

void UtilsPageTest::factoryDefaultsAskFirst_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("sent");
    QTest::newRow("restore") << QMessageBox::RestoreDefaults << true;
    QTest::newRow("cancel") << QMessageBox::Cancel << false;
}

void UtilsPageTest::factoryDefaultsAskFirst()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, sent);
    QVERIFY(m_f->Open());
    m_f->device->ClearReceivedCommands();
    const int restarts = m_f->device->RestartCount();

    MessageBox::setNextAnswer(answer);
    m_f->Click("restoreDefaults");

    QCOMPARE(MessageBox::history().size(), 1);
    const MessageBoxRequest& question = MessageBox::history().front();
    QCOMPARE(question.owner, static_cast<QWidget*>(m_f->page.get()));
    QCOMPARE(question.caption, QStringLiteral("Restore Factory Default Settings"));
    QVERIFY(question.text.contains(QString::fromStdString(m_f->device->PortPath())));
    QCOMPARE(question.buttons, QMessageBox::RestoreDefaults | QMessageBox::Cancel);
    // The risky answer is never the one Enter gives.
    QCOMPARE(question.defaultButton, QMessageBox::Cancel);
    const std::vector<std::string> received = m_f->device->ReceivedCommands();
    const bool resetSent = std::any_of(received.begin(), received.end(),
        [](const std::string& command) { return command.find("<set_factory_default/>") != std::string::npos; });
    QCOMPARE(resetSent, sent);
    QCOMPARE(m_f->device->RestartCount(), restarts + (sent ? 1 : 0));
}

QTEST_MAIN(UtilsPageTest)
#include "UtilsPageTest.moc"
