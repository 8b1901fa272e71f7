// The "Remote Management" page driven as a person would, against the simulated device.
#include "DravexPage.h"
#include "ManagementConverters.h"
#include "PageSimFixture.h"

#include <QCheckBox>
#include <QLineEdit>

using namespace tervane;
using namespace tervane::test;

namespace {

constexpr const char* kDeviceEnabled = "mgmtconnection/connectionEnabled";
constexpr const char* kDeviceAddress = "mgmtconnection/ServerArray&index=1/serverAddress";
constexpr const char* kReconnect = "mgmtconnection/clientConnectionReconnectTimeout";
constexpr const char* kLkaAddress = "mgmtconnection&index=3/ServerArray&index=1/serverAddress";
constexpr const char* kRetry = "mgmtconnection&index=3/clientConnectionReconnectTimeout";

// The controls a check box switches, by object name.
const QStringList kDependents{"serverAddress", "reconnect", "reconnectHours", "reconnectMinutes", "reconnectSeconds",
    "lkaUpdate", "lkaServerAddress", "lkaRetry", "retryHours", "retryMinutes", "retrySeconds"};
const QStringList kDeviceInitiatedDependents{
    "serverAddress", "reconnect", "reconnectHours", "reconnectMinutes", "reconnectSeconds"};

} // namespace

class DravexPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitXmlLibrary(); }
    void init() { m_f = std::make_unique<PageSimFixture<DravexPage>>(); }
    void cleanup() { m_f.reset(); }

    void showsTheDevicesSettings();
    void showsOnlyTheConnectionsTheDeviceHas_data();
    void showsOnlyTheConnectionsTheDeviceHas();
    void intervals_data();
    void intervals();
    void serverAddresses_data();
    void serverAddresses();
    void checkBoxesSwitchTheControlsUnderThem_data();
    void checkBoxesSwitchTheControlsUnderThem();
    void refusedTimes_data();
    void refusedTimes();
    void applyWhileAnotherTabShowsSendsNothing();
    void returningKeepsTheTimeButReloadsTheAddress();
    void refusedApplyShowsWhatTheDeviceKept();
    void screenshot();

private:
    // Starts the device with these settings changed, reads it and opens the page.
    void Open(const sim::DeviceConfig& config = FastRestarts(), const QList<QPair<const char*, QString>>& settings = {});
    QLineEdit* Edit(const QString& name) const { return m_f->Find<QLineEdit>(name.toLatin1().constData()); }
    QCheckBox* Box(const QString& name) const { return m_f->Find<QCheckBox>(name.toLatin1().constData()); }
    QWidget* Control(const QString& name) const { return m_f->Find<QWidget>(name.toLatin1().constData()); }
    QStringList Time(const char* prefix) const;
    // Types the address again as it stands, which is enough to enable Apply.
    void Touch() { Retype(Edit("serverAddress"), Edit("serverAddress")->text()); }

    std::unique_ptr<PageSimFixture<DravexPage>> m_f;
};

void DravexPageTest::Open(const sim::DeviceConfig& config, const QList<QPair<const char*, QString>>& settings)
{
    QVERIFY(m_f->StartDevice(config));
    for (const auto& [path, value] : settings)
        QVERIFY(m_f->device->SetSetting(path, value.toStdString()));
    QVERIFY(m_f->OpenStarted());
}

QStringList DravexPageTest::Time(const char* prefix) const
{
    QStringList time;
    for (const char* part : {"Hours", "Minutes", "Seconds"})
        time << Edit(QString::fromLatin1(prefix) + QString::fromLatin1(part))->text();
    return time;
}

void DravexPageTest::showsTheDevicesSettings()
{
    QVERIFY(m_f->Open(FastRestarts(), {}, DocumentsFrom::DeviceQuery));
    QVERIFY(Box("deviceInitiated")->isChecked());
    QCOMPARE(Edit("serverAddress")->text(), QStringLiteral("dravex.skellin.com"));
    QVERIFY(Box("reconnect")->isChecked());
    QCOMPARE(Time("reconnect"), (QStringList{"1", "2", "5"}));
    QVERIFY(Edit("reconnectHours")->isEnabled());
    QVERIFY(!Box("serverInitiated")->isChecked());
    QVERIFY(Box("lkaUpdate")->isChecked());
    QCOMPARE(Edit("lkaServerAddress")->text(), QStringLiteral("lka.skellin.com"));
    QVERIFY(!Box("lkaRetry")->isChecked());
    QCOMPARE(Time("retry"), (QStringList{"0", "1", "0"}));
    QVERIFY(!Edit("retryHours")->isEnabled());
    QCOMPARE(m_f->page->GetDlgItemText(DravexPage::IDC_RETRY_CAPTION), QStringLiteral("Rety after:"));
    QVERIFY(!m_f->sheet->IsApplyEnabled());
    QVERIFY(!m_f->page->IsModified());
}

void DravexPageTest::showsOnlyTheConnectionsTheDeviceHas_data()
{
    QTest::addColumn<QStringList>("omitted");
    QTest::addColumn<QList<int>>("hidden");
    const QList<int> deviceGroup{1080, 1007, 1086, 1041, 1009, 1095, 1042, 1088, 1011, 1089, 1012, 1090};
    const QList<int> serverGroup{1081, 1013, 1014, 1087, 1015, 1016, 1094, 1017, 1091, 1018, 1092, 1019, 1093};
    QTest::newRow("both connections") << QStringList{} << QList<int>{};
    QTest::newRow("no mgmtconnection with index 3") << QStringList{"mgmtconnection&index=3"} << serverGroup;
    QTest::newRow("no mgmtconnection: an empty page") << QStringList{"mgmtconnection"} << deviceGroup + serverGroup;
    QTest::newRow("no reconnect interval: its box alone goes, the time stays")
        << QStringList{"mgmtconnection&index=1/clientConnectionReconnectTimeout"} << QList<int>{1009};
    QTest::newRow("no server address: the address and its caption go")
        << QStringList{"mgmtconnection&index=1/ServerArray"} << QList<int>{1041, 1086};
    QTest::newRow("no LKA retry interval") << QStringList{"mgmtconnection&index=3/clientConnectionReconnectTimeout"}
                                           << QList<int>{1016};
}

void DravexPageTest::showsOnlyTheConnectionsTheDeviceHas()
{
    QFETCH(QStringList, omitted);
    QFETCH(QList<int>, hidden);
    Open(Omitting(omitted));
    const std::vector<int> ids = m_f->page->ControlIds();
    QCOMPARE(ids.size(), std::size_t(25));
    QList<int> shown;
    for (int id : ids)
        if (!hidden.contains(id))
            shown.append(id);
    QCOMPARE(m_f->ShownControls(), Sorted(shown));
}

void DravexPageTest::intervals_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("written");
    const QString reconnect = kReconnect;
    const QString retry = kRetry;
    QTest::newRow("3725 shows 1 h 2 min 5 s and goes back the same")
        << reconnect << "reconnect" << "reconnect" << "3725" << QStringList{"1", "2", "5"} << "keep" << QStringList{}
        << "3725";
    QTest::newRow("off shows 0 h 1 min 0 s; setting the box writes 60")
        << reconnect << "reconnect" << "reconnect" << "-32768" << QStringList{"0", "1", "0"} << "set" << QStringList{}
        << "60";
    QTest::newRow("clearing the box writes off whatever the time holds")
        << reconnect << "reconnect" << "reconnect" << "3725" << QStringList{"1", "2", "5"} << "clear"
        << QStringList{"9", "60", "60"} << "-32768";
    QTest::newRow("typed time") << reconnect << "reconnect" << "reconnect" << "3725" << QStringList{"1", "2", "5"}
                                << "keep" << QStringList{"0", "60", "60"} << "3660";
    QTest::newRow("largest time") << reconnect << "reconnect" << "reconnect" << "3725" << QStringList{"1", "2", "5"}
                                  << "keep" << QStringList{"9", "60", "60"} << "36060";
    QTest::newRow("any negative interval is off") << reconnect << "reconnect" << "reconnect" << "-5"
                                                  << QStringList{"0", "1", "0"} << "keep" << QStringList{} << "-32768";
    QTest::newRow("zero is on") << reconnect << "reconnect" << "reconnect" << "0" << QStringList{"0", "0", "0"}
                                << "keep" << QStringList{} << "0";
    QTest::newRow("retry off; setting the box writes 60")
        << retry << "retry" << "lkaRetry" << "-32768" << QStringList{"0", "1", "0"} << "set" << QStringList{} << "60";
    QTest::newRow("retry set and typed") << retry << "retry" << "lkaRetry" << "-32768" << QStringList{"0", "1", "0"}
                                         << "set" << QStringList{"1", "0", "30"} << "3630";
    QTest::newRow("retry cleared writes off") << retry << "retry" << "lkaRetry" << "90" << QStringList{"0", "1", "30"}
                                              << "clear" << QStringList{} << "-32768";
}

void DravexPageTest::intervals()
{
    QFETCH(QString, path);
    QFETCH(QString, prefix);
    QFETCH(QString, box);
    QFETCH(QString, initial);
    QFETCH(QStringList, shown);
    QFETCH(QString, action);
    QFETCH(QStringList, typed);
    QFETCH(QString, written);
    const std::string settingPath = path.toStdString();
    Open(FastRestarts(), {{settingPath.c_str(), initial}});
    const bool on = initial.toInt() >= 0;
    QCOMPARE(Box(box)->isChecked(), on);
    QCOMPARE(Time(prefix.toLatin1().constData()), shown);
    QCOMPARE(Edit(prefix + "Hours")->isEnabled(), on);

    const auto type = [&] {
        const char* parts[] = {"Hours", "Minutes", "Seconds"};
        for (int i = 0; i < typed.size(); ++i)
            Retype(Edit(prefix + QString::fromLatin1(parts[i])), typed[i]);
    };
    if (action == QLatin1String("set")) {
        Toggle(Box(box));
        QVERIFY(Edit(prefix + "Hours")->isEnabled());
        type();
    } else if (action == QLatin1String("clear")) {
        type();
        Toggle(Box(box));
        QVERIFY(!Edit(prefix + "Hours")->isEnabled());
    } else {
        type();
    }
    Touch();
    m_f->ClickApply();

    QCOMPARE(m_f->DeviceSetting(settingPath), written.toStdString());
    // The page shows the interval the device read back.
    const ScreenInterval back = IntervalToScreen(written.toInt());
    QCOMPARE(Box(box)->isChecked(), back.enabled == 1);
    QCOMPARE(Time(prefix.toLatin1().constData()),
        (QStringList{QString::number(back.hours), QString::number(back.minutes), QString::number(back.seconds)}));
    QVERIFY(MessageBox::history().isEmpty());
    QVERIFY(!m_f->sheet->IsApplyEnabled());
}

void DravexPageTest::serverAddresses_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("lkaTyped");
    QTest::newRow("prefix hidden; a typed address gets it")
        << "en://server1" << "server1" << "server2" << "en://server2" << "lka2.example";
    QTest::newRow("emptied field writes the prefix alone") << "en://server1" << "server1" << "" << "en://" << "";
    QTest::newRow("address without prefix loads as it is")
        << "server4.example" << "server4.example" << "server4.example" << "en://server4.example" << "en://lka";
    QTest::newRow("typed prefix is stored as typed")
        << "en://server1" << "server1" << "en://server3" << "en://server3" << "lka.example";
    QTest::newRow("markup characters and quotes")
        << "en://server1" << "server1" << "a&b<c>\"d\" 'e'" << "en://a&b<c>\"d\" 'e'" << "&amp;<lka> \"q\"";
    QTest::newRow("non-ASCII") << "en://server1" << "server1" << QStringLiteral("s\u00e9rveur.\u0434\u043e\u043c")
                               << QStringLiteral("en://s\u00e9rveur.\u0434\u043e\u043c")
                               << QStringLiteral("\u65e5\u672c.example");
}

void DravexPageTest::serverAddresses()
{
    QFETCH(QString, initial);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, lkaTyped);
    Open(FastRestarts(), {{kDeviceAddress, initial}});
    QCOMPARE(Edit("serverAddress")->text(), shown);

    Retype(Edit("serverAddress"), typed);
    Retype(Edit("lkaServerAddress"), lkaTyped);
    m_f->ClickApply();

    QCOMPARE(m_f->DeviceSetting(kDeviceAddress), written.toStdString());
    // The server-initiated address has no prefix added.
    QCOMPARE(m_f->DeviceSetting(kLkaAddress), lkaTyped.toStdString());
    QCOMPARE(Edit("serverAddress")->text().toStdString(), StripServerPrefix(written.toStdString()));
    QCOMPARE(Edit("lkaServerAddress")->text(), lkaTyped);
}

void DravexPageTest::checkBoxesSwitchTheControlsUnderThem_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QStringList>("enabled");
    // On opening the LKA controls are enabled although the server-initiated connection is
    // off: only the time edits follow their own boxes then.
    const QStringList lka{"lkaUpdate", "lkaServerAddress", "lkaRetry"};
    const QStringList retryTime{"retryHours", "retryMinutes", "retrySeconds"};
    QTest::newRow("as opened") << QStringList{} << kDeviceInitiatedDependents + lka;
    QTest::newRow("device-initiated cleared") << QStringList{"deviceInitiated"} << lka;
    QTest::newRow("device-initiated set again, reconnect set")
        << QStringList{"deviceInitiated", "deviceInitiated"} << kDeviceInitiatedDependents + lka;
    QTest::newRow("device-initiated set again, reconnect clear")
        << QStringList{"reconnect", "deviceInitiated", "deviceInitiated"}
        << QStringList{"serverAddress", "reconnect"} + lka;
    QTest::newRow("reconnect cleared") << QStringList{"reconnect"} << QStringList{"serverAddress", "reconnect"} + lka;
    QTest::newRow("server-initiated set, retry clear")
        << QStringList{"serverInitiated"} << kDeviceInitiatedDependents + lka;
    QTest::newRow("server-initiated set, retry set")
        << QStringList{"lkaRetry", "serverInitiated"} << kDeviceInitiatedDependents + lka + retryTime;
    QTest::newRow("server-initiated cleared") << QStringList{"lkaRetry", "serverInitiated", "serverInitiated"}
                                              << kDeviceInitiatedDependents;
    QTest::newRow("LKA updates cleared") << QStringList{"lkaRetry", "lkaUpdate"}
                                         << kDeviceInitiatedDependents + QStringList{"lkaUpdate"};
    QTest::newRow("LKA updates set again, retry set")
        << QStringList{"lkaRetry", "lkaUpdate", "lkaUpdate"} << kDeviceInitiatedDependents + lka + retryTime;
    QTest::newRow("LKA updates set again, retry clear")
        << QStringList{"lkaUpdate", "lkaUpdate"} << kDeviceInitiatedDependents + lka;
}

void DravexPageTest::checkBoxesSwitchTheControlsUnderThem()
{
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, enabled);
    Open();
    for (const QString& name : clicks) {
        QVERIFY2(Box(name)->isEnabled(), qPrintable(name));
        Toggle(Box(name));
    }
    for (const QString& name : kDependents)
        QVERIFY2(Control(name)->isEnabled() == enabled.contains(name), qPrintable(name));
    QCOMPARE(m_f->sheet->IsApplyEnabled(), !clicks.isEmpty());
    QVERIFY(MessageBox::history().isEmpty());
}

void DravexPageTest::refusedTimes_data()
{
    QTest::addColumn<QString>("reconnect");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("prompt");
    const QString whole = QStringLiteral("Please enter a whole number.");
    const QString hours = QStringLiteral("Please enter a whole number between 0 and 9.");
    const QString sixty = QStringLiteral("Please enter a whole number between 0 and 60.");
    QTest::newRow("empty hours, Apply") << "3725" << "reconnectHours" << "" << "apply" << whole;
    QTest::newRow("10 hours, Apply") << "3725" << "reconnectHours" << "10" << "apply" << hours;
    QTest::newRow("61 minutes, Apply") << "3725" << "reconnectMinutes" << "61" << "apply" << sixty;
    QTest::newRow("empty seconds, leaving the page") << "3725" << "reconnectSeconds" << "" << "leave" << whole;
    QTest::newRow("10 retry hours, Apply") << "3725" << "retryHours" << "10" << "apply" << hours;
    QTest::newRow("61 retry seconds, leaving the page") << "3725" << "retrySeconds" << "61" << "leave" << sixty;
    QTest::newRow("empty retry minutes, a check box click") << "3725" << "retryMinutes" << "" << "box" << whole;
    QTest::newRow("ten hours from the device, Apply") << "36000" << "reconnectHours" << QString() << "apply" << hours;
    QTest::newRow("ten hours from the device, leaving the page")
        << "36000" << "reconnectHours" << QString() << "leave" << hours;
}

void DravexPageTest::refusedTimes()
{
    QFETCH(QString, reconnect);
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QString, step);
    QFETCH(QString, prompt);
    Open(FastRestarts(), {{kReconnect, reconnect}, {kRetry, "90"}});
    const std::string documentBefore = m_f->DocumentSetting(kReconnect);
    if (!typed.isNull())
        Retype(Edit(control), typed);
    const QString shown = Edit(control)->text();
    Touch();
    m_f->device->ClearReceivedCommands();

    if (step == QLatin1String("apply"))
        m_f->ClickApply();
    else if (step == QLatin1String("leave"))
        m_f->ClickTab(m_f->kMainTab);
    else
        Toggle(Box("reconnect"));

    QCOMPARE(MessageBox::history().size(), 1);
    QCOMPARE(MessageBox::history().front().text, prompt);
    QCOMPARE(MessageBox::history().front().caption, QStringLiteral("Tervane Q7 Dashboard"));
    QCOMPARE(m_f->sheet->focusWidget(), Control(control));
    QCOMPARE(m_f->sheet->GetActivePage(), m_f->page.get());
    QCOMPARE(m_f->sheet->GetPage(m_f->sheet->Tabs()->currentIndex()), m_f->page.get());
    QCOMPARE(Edit(control)->text(), shown);
    QVERIFY(m_f->sheet->IsApplyEnabled());
    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(m_f->DocumentSetting(kReconnect), documentBefore);
    QCOMPARE(m_f->DocumentSetting(kRetry), std::string("90"));
    QCOMPARE(m_f->DocumentSetting(kDeviceAddress), std::string("en://dravex.skellin.com"));
}

void DravexPageTest::applyWhileAnotherTabShowsSendsNothing()
{
    Open();
    m_f->device->ClearReceivedCommands();
    Retype(Edit("serverAddress"), QStringLiteral("unsent.example"));
    Toggle(Box("reconnect"));

    m_f->ApplyOnTheOtherTab();

    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(m_f->DocumentSetting(kDeviceAddress), std::string("en://dravex.skellin.com"));
    QCOMPARE(m_f->DocumentSetting(kReconnect), std::string("3725"));
    QCOMPARE(m_f->DeviceSetting(kReconnect), std::string("3725"));
}

void DravexPageTest::returningKeepsTheTimeButReloadsTheAddress()
{
    Open();
    Retype(Edit("serverAddress"), QStringLiteral("not.applied"));
    Retype(Edit("reconnectMinutes"), QStringLiteral("7"));
    m_f->ClickTab(m_f->kMainTab);
    m_f->ClickTab(m_f->kPageTab);
    QCOMPARE(Edit("serverAddress")->text(), QStringLiteral("dravex.skellin.com"));
    QCOMPARE(Time("reconnect"), (QStringList{"1", "7", "5"}));
    QCOMPARE(m_f->DocumentSetting(kReconnect), std::string("3725"));
}

void DravexPageTest::refusedApplyShowsWhatTheDeviceKept()
{
    Open();
    m_f->device->ChangeFaults([](sim::Faults& f) { f.errorFor = {"<set_setting>"}; });
    Retype(Edit("serverAddress"), QStringLiteral("refused.example"));
    Retype(Edit("reconnectMinutes"), QStringLiteral("9"));
    Toggle(Box("deviceInitiated"));
    Retype(Edit("lkaServerAddress"), QStringLiteral("refused-lka.example"));

    m_f->ClickApply();

    QVERIFY(!m_f->LastPayload().empty());
    QCOMPARE(m_f->DeviceSetting(kDeviceEnabled), std::string("on"));
    QVERIFY(Box("deviceInitiated")->isChecked());
    QCOMPARE(Edit("serverAddress")->text(), QStringLiteral("dravex.skellin.com"));
    QCOMPARE(Edit("lkaServerAddress")->text(), QStringLiteral("lka.skellin.com"));
    QCOMPARE(Time("reconnect"), (QStringList{"1", "2", "5"}));
    for (const QString& name : kDeviceInitiatedDependents)
        QVERIFY2(Control(name)->isEnabled(), qPrintable(name));
    QVERIFY(!m_f->sheet->IsApplyEnabled());
}

void DravexPageTest::screenshot()
{
    Open();
    QVERIFY(m_f->SaveScreenshot(QStringLiteral("DravexPage.png")));
}

QTEST_MAIN(DravexPageTest)
#include "DravexPageTest.moc"
