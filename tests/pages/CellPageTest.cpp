// The "Mobile" page driven as a person would, against the simulated device.
#include "BandConverters.h"
#include "CellPage.h"
#include "PageSimFixture.h"

#include <QComboBox>
#include <QLineEdit>

using namespace tervane;
using namespace tervane::test;

class CellPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitXmlLibrary(); }
    void init() { m_f = std::make_unique<PageSimFixture<CellPage>>(); }
    void cleanup() { m_f.reset(); }

    void showsTheDevicesSettings();
    void showsOnlyTheSettingsTheDeviceHas_data();
    void showsOnlyTheSettingsTheDeviceHas();
    void userEditsEnableApply_data();
    void userEditsEnableApply();
    void applyWritesWhatWasTyped_data();
    void applyWritesWhatWasTyped();
    void choosingABandWritesItsValue_data();
    void choosingABandWritesItsValue();
    void unknownBandGoesBackAsTheDeviceReportedIt();
    void applyWhileAnotherTabShowsSendsNothing();
    void unappliedEditIsReplacedOnReturn();
    void refusedApplyShowsWhatTheDeviceKept();
    void refusalInTheDevicesWordsIsShown_data();
    void refusalInTheDevicesWordsIsShown();
    void screenshot();

private:
    QLineEdit* Edit(const char* name) const { return m_f->Find<QLineEdit>(name); }
    QComboBox* Band() const { return m_f->Find<QComboBox>("band"); }

    std::unique_ptr<PageSimFixture<CellPage>> m_f;
};

void CellPageTest::showsTheDevicesSettings()
{
    QVERIFY(m_f->Open(FastRestarts(), {}, DocumentsFrom::DeviceQuery));
    QCOMPARE(Edit("apn")->text(), QStringLiteral("internet.tervane"));
    QCOMPARE(Edit("username")->text(), QString());
    QCOMPARE(Edit("password")->echoMode(), QLineEdit::Normal);
    QCOMPARE(Edit("pin")->echoMode(), QLineEdit::Normal);
    QCOMPARE(Band()->count(), 7);
    QCOMPARE(Band()->itemText(0), QStringLiteral("850/1900 MHz (North America)"));
    QCOMPARE(Band()->currentText(), QStringLiteral("900/1800 MHz (Europe/World)"));
    QVERIFY(!m_f->sheet->IsApplyEnabled());
    QVERIFY(!m_f->page->IsModified());
}

void CellPageTest::showsOnlyTheSettingsTheDeviceHas_data()
{
    QTest::addColumn<QStringList>("omitted");
    QTest::addColumn<QList<int>>("shown");
    const QList<int> provider{CellPage::IDC_PROVIDER_GROUP, CellPage::IDC_APN_CAPTION, CellPage::IDC_APN,
        CellPage::IDC_USERNAME_CAPTION, CellPage::IDC_USERNAME, CellPage::IDC_PASSWORD_CAPTION, CellPage::IDC_PASSWORD,
        CellPage::IDC_PIN_CAPTION, CellPage::IDC_PIN};
    const QList<int> band{CellPage::IDC_BAND_GROUP, CellPage::IDC_BAND_CAPTION, CellPage::IDC_BAND};
    QTest::newRow("every setting") << QStringList{} << provider + band;
    QTest::newRow("no mobile_simple: an empty page") << QStringList{"mobile_simple"} << QList<int>{};
    QTest::newRow("band only") << QStringList{"mobile_simple/apn", "mobile_simple/username", "mobile_simple/password",
                                      "mobile_simple/pin"}
                               << band;
    QTest::newRow("no band") << QStringList{"mobile_simple/mobile_gsm_band"} << provider;
    QTest::newRow("no APN: user, password and PIN without the group box")
        << QStringList{"mobile_simple/apn"}
        << QList<int>{CellPage::IDC_USERNAME_CAPTION, CellPage::IDC_USERNAME, CellPage::IDC_PASSWORD_CAPTION,
               CellPage::IDC_PASSWORD, CellPage::IDC_PIN_CAPTION, CellPage::IDC_PIN}
               + band;
    QTest::newRow("no PIN")
        << QStringList{"mobile_simple/pin"}
        << QList<int>{CellPage::IDC_PROVIDER_GROUP, CellPage::IDC_APN_CAPTION, CellPage::IDC_APN,
               CellPage::IDC_USERNAME_CAPTION, CellPage::IDC_USERNAME, CellPage::IDC_PASSWORD_CAPTION,
               CellPage::IDC_PASSWORD}
               + band;
}

void CellPageTest::showsOnlyTheSettingsTheDeviceHas()
{
    QFETCH(QStringList, omitted);
    QFETCH(QList<int>, shown);
    QVERIFY(m_f->Open(Omitting(omitted)));
    QCOMPARE(m_f->page->ControlIds().size(), std::size_t(12));
    QCOMPARE(m_f->ShownControls(), Sorted(shown));
}

void CellPageTest::userEditsEnableApply_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("Service Plan/APN") << "apn";
    QTest::newRow("Username") << "username";
    QTest::newRow("Password") << "password";
    QTest::newRow("SIM Pin") << "pin";
    QTest::newRow("Band Configuration") << "band";
}

void CellPageTest::userEditsEnableApply()
{
    QFETCH(QString, control);
    QVERIFY(m_f->Open());
    QVERIFY(!m_f->sheet->IsApplyEnabled());
    if (control == QLatin1String("band"))
        QVERIFY(Choose(Band(), QStringLiteral("1800 MHz")));
    else
        QTest::keyClicks(Edit(control.toLatin1().constData()), QStringLiteral("x"));
    QVERIFY(m_f->sheet->IsApplyEnabled());
    QVERIFY(m_f->page->IsModified());
}

void CellPageTest::applyWritesWhatWasTyped_data()
{
    QTest::addColumn<QString>("apn");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("pin");
    QTest::newRow("plain") << "m2m.example" << "user1" << "s3cret" << "1234";
    QTest::newRow("markup characters") << "a&b.example" << "<user>" << "p&amp;<x>" << "&lt;";
    QTest::newRow("quotes") << "\"apn\"" << "it's" << "say \"hi\" 'there'" << "'1'";
    QTest::newRow("non-ASCII") << QStringLiteral("caf\u00e9.example") << QStringLiteral("J\u00fcrgen")
                               << QStringLiteral("\u043f\u0430\u0440\u043e\u043b\u044c") << QStringLiteral("\u65e5\u672c");
    QTest::newRow("all emptied") << "" << "" << "" << "";
}

void CellPageTest::applyWritesWhatWasTyped()
{
    QFETCH(QString, apn);
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, pin);
    QVERIFY(m_f->Open());
    Retype(Edit("apn"), apn);
    Retype(Edit("username"), username);
    Retype(Edit("password"), password);
    Retype(Edit("pin"), pin);
    QVERIFY(Choose(Band(), QStringLiteral("900 MHz")));
    QCOMPARE(Edit("password")->text(), password);

    m_f->ClickApply();

    QCOMPARE(m_f->DeviceSetting("mobile_simple/apn"), apn.toStdString());
    QCOMPARE(m_f->DeviceSetting("mobile_simple/username"), username.toStdString());
    QCOMPARE(m_f->DeviceSetting("mobile_simple/password"), password.toStdString());
    QCOMPARE(m_f->DeviceSetting("mobile_simple/pin"), pin.toStdString());
    QCOMPARE(m_f->DeviceSetting("mobile_simple/mobile_gsm_band"), std::string("2"));
    // The page shows the settings as read back from the device.
    QCOMPARE(m_f->DocumentSetting("mobile_simple/password"), password.toStdString());
    QCOMPARE(Edit("apn")->text(), apn);
    QCOMPARE(Edit("username")->text(), username);
    QCOMPARE(Edit("password")->text(), password);
    QCOMPARE(Edit("pin")->text(), pin);
    QCOMPARE(Band()->currentText(), QStringLiteral("900 MHz"));
    QVERIFY(!m_f->sheet->IsApplyEnabled());
    QVERIFY(!m_f->page->IsModified());
    QCOMPARE(m_f->sheet->GetActivePage(), m_f->page.get());
}

void CellPageTest::choosingABandWritesItsValue_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::newRow("850 MHz") << "6" << "850 MHz" << "1";
    QTest::newRow("900 MHz") << "6" << "900 MHz" << "2";
    QTest::newRow("1800 MHz") << "6" << "1800 MHz" << "4";
    QTest::newRow("Europe/World") << "9" << "900/1800 MHz (Europe/World)" << "6";
    QTest::newRow("1900 MHz") << "6" << "1900 MHz" << "8";
    QTest::newRow("North America") << "6" << "850/1900 MHz (North America)" << "9";
    QTest::newRow("900/1900 MHz") << "6" << "900/1900 MHz" << "10";
}

void CellPageTest::choosingABandWritesItsValue()
{
    QFETCH(QString, initial);
    QFETCH(QString, label);
    QFETCH(QString, value);
    QVERIFY(m_f->StartDevice());
    QVERIFY(m_f->device->SetSetting("mobile_simple/mobile_gsm_band", initial.toStdString()));
    QVERIFY(m_f->OpenStarted());
    QCOMPARE(Band()->currentText().toStdString(), BandValueToLabel(initial.toStdString()));

    QVERIFY(Choose(Band(), label));
    m_f->ClickApply();

    QCOMPARE(m_f->DeviceSetting("mobile_simple/mobile_gsm_band"), value.toStdString());
    QCOMPARE(Band()->currentText(), label);
}

// A band number the list does not know shows no entry, and an apply of other settings
// sends it back as the device reported it rather than the list's first entry.
void CellPageTest::unknownBandGoesBackAsTheDeviceReportedIt()
{
    QVERIFY(m_f->StartDevice());
    QVERIFY(m_f->device->SetSetting("mobile_simple/mobile_gsm_band", "0"));
    QVERIFY(m_f->OpenStarted());
    QCOMPARE(Band()->currentIndex(), -1);

    Retype(Edit("apn"), QStringLiteral("new.apn"));
    m_f->ClickApply();
    const std::string payload = m_f->LastPayload();
    QVERIFY(payload.find("<apn>new.apn</apn>") != std::string::npos);
    QVERIFY2(payload.find("<mobile_gsm_band>0</mobile_gsm_band>") != std::string::npos, payload.c_str());

    // The simulated device takes no band 0 and so kept the whole group; a band chosen now
    // replaces it.
    QCOMPARE(Band()->currentIndex(), -1);
    QVERIFY(Choose(Band(), QStringLiteral("1800 MHz")));
    m_f->ClickApply();
    QCOMPARE(m_f->DeviceSetting("mobile_simple/mobile_gsm_band"), std::string("4"));
    QCOMPARE(Band()->currentText(), QStringLiteral("1800 MHz"));
}

void CellPageTest::applyWhileAnotherTabShowsSendsNothing()
{
    QVERIFY(m_f->Open());
    m_f->device->ClearReceivedCommands();
    Retype(Edit("apn"), QStringLiteral("unsent.apn"));
    QVERIFY(Choose(Band(), QStringLiteral("850 MHz")));

    m_f->ApplyOnTheOtherTab();

    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(m_f->DocumentSetting("mobile_simple/apn"), std::string("internet.tervane"));
    QCOMPARE(m_f->DocumentSetting("mobile_simple/mobile_gsm_band"), std::string("6"));
    QCOMPARE(m_f->DeviceSetting("mobile_simple/apn"), std::string("internet.tervane"));
}

void CellPageTest::unappliedEditIsReplacedOnReturn()
{
    QVERIFY(m_f->Open());
    Retype(Edit("apn"), QStringLiteral("not.applied"));
    QVERIFY(Choose(Band(), QStringLiteral("850 MHz")));
    m_f->ClickTab(m_f->kMainTab);
    m_f->ClickTab(m_f->kPageTab);
    QCOMPARE(Edit("apn")->text(), QStringLiteral("internet.tervane"));
    QCOMPARE(Band()->currentText(), QStringLiteral("900/1800 MHz (Europe/World)"));
    QCOMPARE(m_f->DocumentSetting("mobile_simple/apn"), std::string("internet.tervane"));
}

void CellPageTest::refusedApplyShowsWhatTheDeviceKept()
{
    QVERIFY(m_f->Open());
    m_f->device->ChangeFaults([](sim::Faults& f) { f.errorFor = {"<set_setting>"}; });
    Retype(Edit("apn"), QStringLiteral("refused.apn"));
    Retype(Edit("pin"), QStringLiteral("9999"));
    QVERIFY(Choose(Band(), QStringLiteral("1900 MHz")));

    m_f->ClickApply();

    QVERIFY(!m_f->LastPayload().empty());
    QCOMPARE(m_f->DeviceSetting("mobile_simple/apn"), std::string("internet.tervane"));
    QCOMPARE(Edit("apn")->text(), QStringLiteral("internet.tervane"));
    QCOMPARE(Edit("pin")->text(), QString());
    QCOMPARE(Band()->currentText(), QStringLiteral("900/1800 MHz (Europe/World)"));
    QVERIFY(!m_f->sheet->IsApplyEnabled());
    // An error answer says nothing more than the settings the page shows: no box.
    QVERIFY(MessageBox::history().isEmpty());
}

void CellPageTest::refusalInTheDevicesWordsIsShown_data()
{
    QTest::addColumn<QString>("apn");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "refused.apn"
                           << "Invalid value for apn: refused.apn";
    // The device's words reach the screen without their control characters.
    QTest::newRow("control characters") << QStringLiteral("bad\u009b2J\t.apn") << "Invalid value for apn: bad?2J?.apn";
    QTest::newRow("too long for a box") << QString(400, QLatin1Char('a'))
                                        << QStringLiteral("Invalid value for apn: ") + QString(277, QLatin1Char('a')) +
            QChar(0x2026);
}

// The device answers OK and keeps its settings, saying why in its reply: the user sees its
// words, and the page what the device kept.
void CellPageTest::refusalInTheDevicesWordsIsShown()
{
    QFETCH(QString, apn);
    QFETCH(QString, shown);
    QVERIFY(m_f->Open());
    m_f->device->ChangeFaults([](sim::Faults& f) { f.refusedSettings = {"apn"}; });
    // Typed, then put in whole as a paste does, control characters and all.
    Retype(Edit("apn"), QStringLiteral("x"));
    Edit("apn")->selectAll();
    Edit("apn")->insert(apn);
    QCOMPARE(Edit("apn")->text(), apn);
    MessageBox::clearHistory();

    m_f->ClickApply();

    QCOMPARE(m_f->DeviceSetting("mobile_simple/apn"), std::string("internet.tervane"));
    QCOMPARE(Edit("apn")->text(), QStringLiteral("internet.tervane"));
    QVERIFY(!m_f->sheet->IsApplyEnabled());
    QCOMPARE(MessageBox::history().size(), 1);
    const MessageBoxRequest& box = MessageBox::history().first();
    QCOMPARE(box.caption, QStringLiteral("Error"));
    QCOMPARE(box.text, QStringLiteral("The device refused the new settings:\n\n") + shown);
    QCOMPARE(box.icon, QMessageBox::Warning);
}

void CellPageTest::screenshot()
{
    QVERIFY(m_f->Open());
    QVERIFY(m_f->SaveScreenshot(QStringLiteral("CellPage.png")));
}

QTEST_MAIN(CellPageTest)
#include "CellPageTest.moc"
