// The "Firmware Update" page driven as a person would, against the simulated device.
#include "FirmwarePage.h"
#include "PageSimFixture.h"
#include "ProcedureSteps.h"
#include "RciRequests.h"
#include "SafeXml.h"
#include "SettingPath.h"
#include "TransferVerification.h"

#include <QLineEdit>

using namespace tervane;
using namespace tervane::test;

class FirmwarePageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitXmlLibrary(); }
    void init() { m_f = std::make_unique<PageSimFixture<FirmwarePage>>(kRestartClock); }
    void cleanup() { m_f.reset(); }

    void showsTheDevicesState();
    void browseChoosesTheImage();
    void updateInstallsAndShowsTheNewVersion();
    void mismatchAsksToUploadAgain_data();
    void mismatchAsksToUploadAgain();
    void refusedPathSendsNothing_data();
    void refusedPathSendsNothing();
    void returningShowsAStateReadMeanwhile();

private:
    QLineEdit* Edit(const char* name) const { return m_f->Find<QLineEdit>(name); }
    std::string Image() const { return m_f->LocalFile("q7-update.img", Pattern(6000)); }

    std::unique_ptr<PageSimFixture<FirmwarePage>> m_f;
};

void FirmwarePageTest::showsTheDevicesState()
{
    QVERIFY(m_f->Open(FastRestarts(), {}, DocumentsFrom::DeviceQuery));
    const std::string product = SettingText(m_f->documents.StateRoot(), "device_info/product").value_or("");
    QVERIFY(!product.empty());
    QCOMPARE(Edit("product")->text(), QString::fromStdString(product));
    QCOMPARE(Edit("firmwareVersion")->text(), QString::fromStdString(m_f->device->Config().firmwareVersion));
    QVERIFY(LooksReadOnly(Edit("product")));
    QVERIFY(LooksReadOnly(Edit("firmwareVersion")));
    QVERIFY(!LooksReadOnly(Edit("firmwareImage")));
    QVERIFY(Edit("firmwareImage")->text().isEmpty());
    QVERIFY(!m_f->page->IsModified());
    QVERIFY(m_f->SaveScreenshot(QStringLiteral("FirmwarePage.png")));
}

void FirmwarePageTest::browseChoosesTheImage()
{
    QVERIFY(m_f->Open());
    const QString chosen = QString::fromStdString(Image());
    FileDialog::setAnswerer([&](const FileDialogRequest&) { return std::optional<QString>(chosen); });
    m_f->Click("browseFirmware");
    QCOMPARE(Edit("firmwareImage")->text(), chosen);

    // Cancelled: the stored path is proposed and shown again, an unsaved edit discarded.
    Retype(Edit("firmwareImage"), QStringLiteral("typed.bin"));
    FileDialog::setAnswerer([](const FileDialogRequest&) { return std::optional<QString>(); });
    m_f->Click("browseFirmware");
    QCOMPARE(Edit("firmwareImage")->text(), chosen);

    const auto& asked = FileDialog::history();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[0].mode, FileDialogRequest::Mode::Open);
    QCOMPARE(asked[0].owner, m_f->page.get());
    QCOMPARE(asked[0].defaultSuffix, QStringLiteral("bin"));
    QCOMPARE(asked[0].nameFilters, QStringList{QStringLiteral("*.bin (*)")});
    QVERIFY(asked[0].initialName.isEmpty());
    QCOMPARE(asked[1].initialName, chosen);
}

void FirmwarePageTest::updateInstallsAndShowsTheNewVersion()
{
    QVERIFY(m_f->Open());
    Retype(Edit("firmwareImage"), QString::fromStdString(Image()));
    m_f->device->ClearReceivedCommands();

    m_f->Click("updateFirmware");

    QVERIFY(MessageBox::history().isEmpty());
    QCOMPARE(m_f->device->RestartCount(), 1);
    QCOMPARE(m_f->CountReceived("at&usbinterface=110"), 1L);
    QCOMPARE(Edit("firmwareVersion")->text(), QString::fromStdString(m_f->device->Config().installedFirmwareVersion));
    QVERIFY(!m_f->page->IsModified());
}

void FirmwarePageTest::mismatchAsksToUploadAgain_data()
{
    QTest::addColumn<bool>("retry");
    QTest::newRow("retry removes the image and uploads again") << true;
    QTest::newRow("cancel leaves the image") << false;
}

void FirmwarePageTest::mismatchAsksToUploadAgain()
{
    QFETCH(bool, retry);
    QVERIFY(m_f->Open());
    const std::string image = Image();
    const std::string digest = FileDigestHex(image).value_or("");
    Retype(Edit("firmwareImage"), QString::fromStdString(image));
    m_f->device->ChangeFaults([](sim::Faults& faults) { faults.corruptUploads = true; });
    m_f->device->ClearReceivedCommands();
    MessageBox::setAnswerer([&](const MessageBoxRequest&) {
        // What was stored before the answer: the corrupted copy.
        const auto stored = m_f->device->GetFile("/fw/updatefw.dwl");
        if (!stored || FileDigestHex(m_f->LocalFile("stored.img", *stored)) == digest)
            QTest::qFail("no corrupted image on the device at the question", __FILE__, __LINE__);
        m_f->device->ChangeFaults([](sim::Faults& faults) { faults.corruptUploads = false; });
        return retry ? QMessageBox::Retry : QMessageBox::Cancel;
    });

    m_f->Click("updateFirmware");

    QCOMPARE(MessageBox::history().size(), 1);
    const MessageBoxRequest& question = MessageBox::history().first();
    QCOMPARE(question.caption, QStringLiteral("Error"));
    QCOMPARE(question.icon, QMessageBox::Critical);
    QVERIFY(question.owner == nullptr);
    QCOMPARE(question.buttons, QMessageBox::Retry | QMessageBox::Cancel);
    QVERIFY2(question.text.startsWith(QStringLiteral("File upload failed.  MD5 sum should have been %1, but came back as ")
                 .arg(QString::fromStdString(digest))),
        qPrintable(question.text));
    QVERIFY(question.text.endsWith(QStringLiteral(".\r\nSelect Retry to attempt the file upload again.")));

    const QString version = Edit("firmwareVersion")->text();
    if (retry) {
        QCOMPARE(m_f->CountReceived("<rm name='/fw/updatefw.dwl'/>"), 1L);
        QCOMPARE(m_f->CountReceived("at&usbinterface=41,\"/fw/updatefw.dwl\""), 2L);
        QCOMPARE(m_f->CountReceived("at&usbinterface=110"), 1L);
        QCOMPARE(version, QString::fromStdString(m_f->device->Config().installedFirmwareVersion));
    } else {
        QCOMPARE(m_f->CountReceived("<rm "), 0L);
        QCOMPARE(m_f->CountReceived("at&usbinterface=110"), 0L);
        QVERIFY(m_f->device->HasFile("/fw/updatefw.dwl"));
        QCOMPARE(version, QString::fromStdString(m_f->device->Config().firmwareVersion));
    }
}

void FirmwarePageTest::refusedPathSendsNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "" << "Please enter a filename" << "You must select the firmware file to update.";
    QTest::newRow("missing file") << "/nonexistent/q7.bin" << "Please enter a correct filename"
                                  << "Unable to open the firmware file to update.";
}

void FirmwarePageTest::refusedPathSendsNothing()
{
    QFETCH(QString, path);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    QVERIFY(m_f->Open());
    Retype(Edit("firmwareImage"), path);
    m_f->device->ClearReceivedCommands();

    m_f->Click("updateFirmware");

    QCOMPARE(MessageBox::history().size(), 1);
    QCOMPARE(MessageBox::history().first().caption, caption);
    QCOMPARE(MessageBox::history().first().text, text);
    QCOMPARE(MessageBox::history().first().icon, QMessageBox::Critical);
    QCOMPARE(MessageBox::history().first().buttons, QMessageBox::Ok);
    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(m_f->device->UploadCount(), 0);
}

void FirmwarePageTest::returningShowsAStateReadMeanwhile()
{
    QVERIFY(m_f->Open());
    m_f->ClickTab(m_f->kMainTab);
    // Another page reads the state again: here the device reports a newer version.
    std::string state = m_f->device->StateXml();
    const std::string old = m_f->device->Config().firmwareVersion;
    for (auto at = state.find(old); at != std::string::npos; at = state.find(old, at))
        state.replace(at, old.size(), "9.9.9.9");
    m_f->documents.ParseState(state);

    m_f->ClickTab(m_f->kPageTab);

    QCOMPARE(Edit("firmwareVersion")->text(), QStringLiteral("9.9.9.9"));
}

QTEST_MAIN(FirmwarePageTest)
#include "FirmwarePageTest.moc"
