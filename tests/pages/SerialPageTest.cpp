#include "MessageBox.h"
#include "PageSimFixture.h"
#include "SerialPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>
#include <optional>
#include <set>

using namespace tervane;
using namespace tervane::test;

namespace {

using P = SerialPage;

// Every control of the page, to tell which ones a device variant shows.
const QList<int> kAllControls{P::IDC_BAUD_RATE, P::IDC_DATA_BITS, P::IDC_PARITY, P::IDC_STOP_BITS,
    P::IDC_FLOW_CONTROL, P::IDC_BAUD_RATE_CAPTION, P::IDC_DATA_BITS_CAPTION, P::IDC_PARITY_CAPTION,
    P::IDC_STOP_BITS_CAPTION, P::IDC_FLOW_CONTROL_CAPTION, P::IDC_BASIC_GROUP, P::IDC_NETWORK_GROUP,
    P::IDC_TCP_SERIAL_CAPTION, P::IDC_TELNET, P::IDC_TELNET_PORT, P::IDC_TELNET_KEEPALIVE, P::IDC_RAW_TCP,
    P::IDC_RAW_TCP_PORT, P::IDC_RAW_TCP_KEEPALIVE, P::IDC_SSH, P::IDC_SSH_PORT, P::IDC_SSH_KEEPALIVE,
    P::IDC_SECURE_SOCKET, P::IDC_SECURE_SOCKET_PORT, P::IDC_SECURE_SOCKET_KEEPALIVE, P::IDC_UDP, P::IDC_UDP_PORT};

const QList<int> kLineControls{P::IDC_BAUD_RATE, P::IDC_DATA_BITS, P::IDC_PARITY, P::IDC_STOP_BITS,
    P::IDC_FLOW_CONTROL, P::IDC_BAUD_RATE_CAPTION, P::IDC_DATA_BITS_CAPTION, P::IDC_PARITY_CAPTION,
    P::IDC_STOP_BITS_CAPTION, P::IDC_FLOW_CONTROL_CAPTION, P::IDC_BASIC_GROUP};
const QList<int> kTelnetControls{P::IDC_TELNET, P::IDC_TELNET_PORT, P::IDC_TELNET_KEEPALIVE, P::IDC_TCP_SERIAL_CAPTION,
    P::IDC_NETWORK_GROUP};

QList<int> AllBut(const QList<int>& hidden)
{
    QList<int> shown;
    for (int id : kAllControls)
        if (!hidden.contains(id))
            shown.append(id);
    return shown;
}

} // namespace

class SerialPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitXmlLibrary(); }
    void init() { m_f = std::make_unique<PageSimFixture<SerialPage>>(); }
    void cleanup() { m_f.reset(); }

    void showsTheDevicesSettings();
    void appliesWhatWasChosenAndTyped();
    void listsShowTheDevicesValue_data();
    void listsShowTheDevicesValue();
    void deviceVariants_data();
    void deviceVariants();
    void enableBoxesSwitchTheirService_data();
    void enableBoxesSwitchTheirService();
    void portEditsTakeTheirCharacters_data();
    void portEditsTakeTheirCharacters();
    void applyWhileAnotherTabShowsSendsNothing();
    void showsWhatTheDeviceKept_data();
    void showsWhatTheDeviceKept();
    void returningToThePageShowsTheDocument();
    void applyAfterAReadBackThatTimedOutSaysSo();
    void screenshot();

private:
    // The page on a device as configured, the commands of the opening forgotten.
    void Start(const sim::DeviceConfig& config = FastRestarts(), const sim::Faults& faults = {},
        DocumentsFrom from = DocumentsFrom::Simulator);
    template <class T>
    T* Ctl(int id) const
    {
        return m_f->Control<T>(id);
    }
    std::string Device(const char* path) const { return m_f->DeviceSetting(path); }

    std::unique_ptr<PageSimFixture<SerialPage>> m_f;
};

void SerialPageTest::Start(const sim::DeviceConfig& config, const sim::Faults& faults, DocumentsFrom from)
{
    QVERIFY(m_f->Open(config, faults, from));
    m_f->device->ClearReceivedCommands();
}

void SerialPageTest::showsTheDevicesSettings()
{
    Start(FastRestarts(), {}, DocumentsFrom::DeviceQuery);
    QCOMPARE(Ctl<QComboBox>(P::IDC_BAUD_RATE)->currentText(), "9600");
    QCOMPARE(Ctl<QComboBox>(P::IDC_BAUD_RATE)->count(), 11);
    QCOMPARE(Ctl<QComboBox>(P::IDC_DATA_BITS)->currentText(), "8");
    // The device says "none"; the list's entry is "None".
    QCOMPARE(Ctl<QComboBox>(P::IDC_PARITY)->currentText(), "None");
    QCOMPARE(Ctl<QComboBox>(P::IDC_STOP_BITS)->currentText(), "1");
    QCOMPARE(Ctl<QComboBox>(P::IDC_FLOW_CONTROL)->currentText(), "None");
    QVERIFY(Ctl<QCheckBox>(P::IDC_TELNET)->isChecked());
    QCOMPARE(Ctl<QLineEdit>(P::IDC_TELNET_PORT)->text(), "2001");
    QVERIFY(Ctl<QCheckBox>(P::IDC_TELNET_KEEPALIVE)->isChecked());
    QVERIFY(Ctl<QCheckBox>(P::IDC_RAW_TCP)->isChecked());
    QCOMPARE(Ctl<QLineEdit>(P::IDC_RAW_TCP_PORT)->text(), "2101");
    QVERIFY(!Ctl<QCheckBox>(P::IDC_SSH)->isChecked());
    QCOMPARE(Ctl<QLineEdit>(P::IDC_SSH_PORT)->text(), "2501");
    QVERIFY(!Ctl<QCheckBox>(P::IDC_SECURE_SOCKET_KEEPALIVE)->isChecked());
    QCOMPARE(Ctl<QLineEdit>(P::IDC_UDP_PORT)->text(), "2101");
    // A service that is off starts with its port and keep-alive disabled.
    QVERIFY(Ctl<QLineEdit>(P::IDC_TELNET_PORT)->isEnabled());
    QVERIFY(!Ctl<QLineEdit>(P::IDC_SSH_PORT)->isEnabled());
    QVERIFY(!Ctl<QCheckBox>(P::IDC_SSH_KEEPALIVE)->isEnabled());
    QVERIFY(!Ctl<QLineEdit>(P::IDC_UDP_PORT)->isEnabled());
    QVERIFY(!m_f->page->IsModified());
    QVERIFY(!m_f->sheet->IsApplyEnabled());
}

void SerialPageTest::appliesWhatWasChosenAndTyped()
{
    Start();
    QVERIFY(Choose(Ctl<QComboBox>(P::IDC_BAUD_RATE), "115200"));
    QVERIFY(m_f->sheet->IsApplyEnabled());
    QVERIFY(Choose(Ctl<QComboBox>(P::IDC_DATA_BITS), "7"));
    QVERIFY(Choose(Ctl<QComboBox>(P::IDC_PARITY), "Even"));
    QVERIFY(Choose(Ctl<QComboBox>(P::IDC_STOP_BITS), "2"));
    QVERIFY(Choose(Ctl<QComboBox>(P::IDC_FLOW_CONTROL), "Hardware"));
    Toggle(Ctl<QCheckBox>(P::IDC_TELNET_KEEPALIVE));
    Retype(Ctl<QLineEdit>(P::IDC_RAW_TCP_PORT), "4001");
    Toggle(Ctl<QCheckBox>(P::IDC_SSH));
    Retype(Ctl<QLineEdit>(P::IDC_SSH_PORT), "2222");
    Toggle(Ctl<QCheckBox>(P::IDC_SSH_KEEPALIVE));
    Toggle(Ctl<QCheckBox>(P::IDC_SECURE_SOCKET));
    Toggle(Ctl<QCheckBox>(P::IDC_UDP));
    Retype(Ctl<QLineEdit>(P::IDC_UDP_PORT), "5005");

    m_f->ClickApply();

    QCOMPARE(m_f->sheet->messages, QList<int>{WM_APPLY_SETTINGS});
    // The entries' own texts went out; the device keeps its words in lower case.
    for (const char* sent : {"<baud>115200</baud>", "<databits>7</databits>", "<parity>Even</parity>",
             "<stopbits>2</stopbits>", "<flowcontrol>Hardware</flowcontrol>"})
        QVERIFY2(AnyReceived(*m_f->device, sent), sent);
    QCOMPARE(Device("serial/baud"), std::string("115200"));
    QCOMPARE(Device("serial/databits"), std::string("7"));
    QCOMPARE(Device("serial/parity"), std::string("even"));
    QCOMPARE(Device("serial/stopbits"), std::string("2"));
    QCOMPARE(Device("serial/flowcontrol"), std::string("hardware"));
    QCOMPARE(Device("telnet_server/state"), std::string("on"));
    QCOMPARE(Device("telnet_server/keepalive"), std::string("off"));
    QCOMPARE(Device("tcp_server/port"), std::string("4001"));
    QCOMPARE(Device("ssh_server/state"), std::string("on"));
    QCOMPARE(Device("ssh_server/port"), std::string("2222"));
    QCOMPARE(Device("ssh_server/keepalive"), std::string("off"));
    QCOMPARE(Device("securesocket/state"), std::string("on"));
    QCOMPARE(Device("securesocket/port"), std::string("2601"));
    QCOMPARE(Device("udp_server/state"), std::string("on"));
    QCOMPARE(Device("udp_server/port"), std::string("5005"));

    // What the device read back is on the page.
    QCOMPARE(Ctl<QComboBox>(P::IDC_PARITY)->currentText(), "Even");
    QCOMPARE(Ctl<QComboBox>(P::IDC_FLOW_CONTROL)->currentText(), "Hardware");
    QVERIFY(Ctl<QCheckBox>(P::IDC_SSH)->isChecked());
    QVERIFY(Ctl<QLineEdit>(P::IDC_SSH_PORT)->isEnabled());
    QVERIFY(!m_f->page->IsModified());
    QVERIFY(!m_f->sheet->IsApplyEnabled());
}

void SerialPageTest::listsShowTheDevicesValue_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("deviceValue");
    QTest::addColumn<int>("list");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("offered");
    QTest::newRow("lower case word") << "serial/parity" << "none" << int(P::IDC_PARITY) << "None" << 3 << "None" << 3;
    QTest::newRow("beginning of an entry") << "serial/flowcontrol" << "HARD" << int(P::IDC_FLOW_CONTROL)
                                           << "Hardware" << 2 << "Hardware" << 2;
    QTest::newRow("empty picks the first entry") << "serial/databits" << "" << int(P::IDC_DATA_BITS) << "8" << 4
                                                 << "8" << 4;
    // A value the list does not offer is kept as an entry of its own rather than replaced by
    // the first entry on the next apply.
    QTest::newRow("baud rate beyond the list") << "serial/baud" << "460800" << int(P::IDC_BAUD_RATE) << "460800"
                                               << 12 << "460800" << 11;
    QTest::newRow("baud rate between entries") << "serial/baud" << "14400" << int(P::IDC_BAUD_RATE) << "14400"
                                               << 12 << "14400" << 11;
    QTest::newRow("software flow control") << "serial/flowcontrol" << "software" << int(P::IDC_FLOW_CONTROL)
                                           << "software" << 3 << "software" << 2;
}

void SerialPageTest::listsShowTheDevicesValue()
{
    QFETCH(QString, path);
    QFETCH(QString, deviceValue);
    QFETCH(int, list);
    QFETCH(QString, shown);
    QFETCH(int, entries);
    QFETCH(QString, written);
    QFETCH(int, offered);
    QVERIFY(m_f->StartDevice());
    QVERIFY(m_f->device->SetSetting(path.toStdString(), deviceValue.toStdString()));
    QVERIFY(m_f->OpenStarted());
    m_f->device->ClearReceivedCommands();
    auto* box = Ctl<QComboBox>(list);
    QCOMPARE(box->currentText(), shown);
    QCOMPARE(box->count(), entries);

    // An apply for another setting writes the list's value as shown.
    Retype(Ctl<QLineEdit>(P::IDC_TELNET_PORT), "2323");
    m_f->ClickApply();
    const QByteArray element = path.section(u'/', 1).toUtf8();
    const std::string sentElement = "<" + element.toStdString() + ">" + written.toStdString() + "</" + element.toStdString() + ">";
    QVERIFY2(AnyReceived(*m_f->device, sentElement), sentElement.c_str());
    QCOMPARE(box->currentText(), shown);
    QCOMPARE(box->count(), entries);

    // Choosing an offered entry replaces the device's own value, which then leaves the list.
    QVERIFY(Choose(box, box->itemText(1)));
    const QString chosen = box->currentText();
    m_f->ClickApply();
    QCOMPARE(box->currentText(), chosen);
    QCOMPARE(box->count(), offered);
}

void SerialPageTest::deviceVariants_data()
{
    QTest::addColumn<QStringList>("omitted");
    QTest::addColumn<QList<int>>("shown");
    QTest::newRow("every setting") << QStringList{} << kAllControls;
    QTest::newRow("no telnet server") << QStringList{"telnet_server"} << AllBut(kTelnetControls);
    QTest::newRow("no serial line") << QStringList{"serial"} << AllBut(kLineControls);
    QTest::newRow("no parity") << QStringList{"serial/parity"}
                               << AllBut({P::IDC_PARITY, P::IDC_PARITY_CAPTION});
    QTest::newRow("no baud rate") << QStringList{"serial/baud"}
                                  << AllBut({P::IDC_BAUD_RATE, P::IDC_BAUD_RATE_CAPTION, P::IDC_BASIC_GROUP});
    QTest::newRow("no udp server") << QStringList{"udp_server"} << AllBut({P::IDC_UDP, P::IDC_UDP_PORT});
    QTest::newRow("no ssh port") << QStringList{"ssh_server/port"} << AllBut({P::IDC_SSH_PORT});
}

void SerialPageTest::deviceVariants()
{
    QFETCH(QStringList, omitted);
    QFETCH(QList<int>, shown);
    Start(Omitting(omitted));
    for (int id : kAllControls)
        QVERIFY2(m_f->page->IsControlShown(id) == shown.contains(id), qPrintable(QString::number(id)));
    // No control is hidden away inside a hidden frame.
    QCOMPARE(m_f->ShownControls(kAllControls), Sorted(shown));
    QVERIFY(!m_f->sheet->IsApplyEnabled());
}

void SerialPageTest::enableBoxesSwitchTheirService_data()
{
    QTest::addColumn<int>("enable");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("keepalive");
    QTest::addColumn<bool>("onAtFirst");
    QTest::newRow("telnet") << int(P::IDC_TELNET) << int(P::IDC_TELNET_PORT) << int(P::IDC_TELNET_KEEPALIVE) << true;
    QTest::newRow("raw tcp") << int(P::IDC_RAW_TCP) << int(P::IDC_RAW_TCP_PORT) << int(P::IDC_RAW_TCP_KEEPALIVE)
                             << true;
    QTest::newRow("ssh") << int(P::IDC_SSH) << int(P::IDC_SSH_PORT) << int(P::IDC_SSH_KEEPALIVE) << false;
    QTest::newRow("secure socket") << int(P::IDC_SECURE_SOCKET) << int(P::IDC_SECURE_SOCKET_PORT)
                                   << int(P::IDC_SECURE_SOCKET_KEEPALIVE) << false;
    QTest::newRow("udp") << int(P::IDC_UDP) << int(P::IDC_UDP_PORT) << 0 << false;
}

void SerialPageTest::enableBoxesSwitchTheirService()
{
    QFETCH(int, enable);
    QFETCH(int, port);
    QFETCH(int, keepalive);
    QFETCH(bool, onAtFirst);
    Start();
    const auto serviceEnabled = [&](bool on) {
        return m_f->page->GetDlgItem(port)->isEnabled() == on
               && (keepalive == 0 || m_f->page->GetDlgItem(keepalive)->isEnabled() == on);
    };
    QVERIFY(serviceEnabled(onAtFirst));
    QVERIFY(!m_f->sheet->IsApplyEnabled());

    Toggle(Ctl<QCheckBox>(enable));
    QVERIFY(serviceEnabled(!onAtFirst));
    QVERIFY(m_f->sheet->IsApplyEnabled());
    Toggle(Ctl<QCheckBox>(enable));
    QVERIFY(serviceEnabled(onAtFirst));
    // The other services were left alone.
    QCOMPARE(Ctl<QLineEdit>(P::IDC_TELNET_PORT)->isEnabled(), true);
    QCOMPARE(Ctl<QLineEdit>(P::IDC_SECURE_SOCKET_PORT)->isEnabled(), false);
}

void SerialPageTest::portEditsTakeTheirCharacters_data()
{
    QTest::addColumn<int>("edit");
    QTest::addColumn<QString>("shown");
    QTest::newRow("telnet") << int(P::IDC_TELNET_PORT) << "123";
    QTest::newRow("raw tcp") << int(P::IDC_RAW_TCP_PORT) << "123";
    QTest::newRow("ssh") << int(P::IDC_SSH_PORT) << "123";
    QTest::newRow("secure socket") << int(P::IDC_SECURE_SOCKET_PORT) << "123";
    QTest::newRow("udp takes any text") << int(P::IDC_UDP_PORT) << "1-2 ab3";
}

void SerialPageTest::portEditsTakeTheirCharacters()
{
    QFETCH(int, edit);
    QFETCH(QString, shown);
    Start();
    // Every service on, so that each port edit takes keys.
    for (int box : {P::IDC_SSH, P::IDC_SECURE_SOCKET, P::IDC_UDP})
        Toggle(Ctl<QCheckBox>(box));
    Retype(Ctl<QLineEdit>(edit), "1-2 ab3");
    QCOMPARE(Ctl<QLineEdit>(edit)->text(), shown);
    QVERIFY(m_f->page->IsModified());
}

void SerialPageTest::applyWhileAnotherTabShowsSendsNothing()
{
    Start();
    Retype(Ctl<QLineEdit>(P::IDC_TELNET_PORT), "2323");

    m_f->ApplyOnTheOtherTab();

    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(Device("telnet_server/port"), std::string("2001"));
}

void SerialPageTest::applyAfterAReadBackThatTimedOutSaysSo()
{
    // The device takes the new settings but never answers the read-back, which leaves no
    // settings document.
    sim::Faults faults;
    faults.silentFor.push_back("<query_setting></query_setting>");
    Start(FastRestarts(), faults);
    Retype(Ctl<QLineEdit>(P::IDC_TELNET_PORT), "2323");
    m_f->ClickApply();
    QCOMPARE(Device("telnet_server/port"), std::string("2323"));
    QCOMPARE(m_f->documents.SettingsDocument(), nullptr);
    QVERIFY(MessageBox::history().isEmpty());

    m_f->device->ClearReceivedCommands();
    Retype(Ctl<QLineEdit>(P::IDC_TELNET_PORT), "2424");
    m_f->ClickApply();

    QCOMPARE(MessageBox::history().size(), 1);
    const MessageBoxRequest& box = MessageBox::history().constFirst();
    // No answer is no ERROR: the box gives no reason of the parser's.
    QCOMPARE(box.text, SettingsNotReadPrompt(false));
    QCOMPARE(box.caption, "Error");
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.owner, m_f->page.get());
    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(Device("telnet_server/port"), std::string("2323"));
    // The typed value stays, still waiting to be applied.
    QCOMPARE(Ctl<QLineEdit>(P::IDC_TELNET_PORT)->text(), "2424");
    QVERIFY(m_f->page->IsModified());
    QVERIFY(m_f->sheet->IsApplyEnabled());
}

void SerialPageTest::showsWhatTheDeviceKept_data()
{
    QTest::addColumn<QStringList>("errorFor");
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("kept");
    QTest::newRow("device answers ERROR") << QStringList{"set_setting"} << int(P::IDC_SSH) << int(P::IDC_SSH_PORT)
                                          << "4001" << "<port>4001</port>" << "ssh_server/port" << "2501";
    // The page sends the UDP port as typed, markup characters and all; the device refuses
    // a port that is not a number and keeps its own, and keeps the server off with it.
    QTest::newRow("device refuses the port") << QStringList{} << int(P::IDC_UDP) << int(P::IDC_UDP_PORT)
                                             << "5\"&<'\u00e9" << "<port>5&quot;&amp;&lt;'" << "udp_server/port"
                                             << "2101";
    QTest::newRow("empty port sent as typed") << QStringList{} << 0 << int(P::IDC_TELNET_PORT) << ""
                                              << "<port/>" << "telnet_server/port" << "2001";
}

void SerialPageTest::showsWhatTheDeviceKept()
{
    QFETCH(QStringList, errorFor);
    QFETCH(int, box);
    QFETCH(int, edit);
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QFETCH(QString, path);
    QFETCH(QString, kept);
    Start(FastRestarts(), ErrorFor(errorFor));
    if (box != 0)
        Toggle(Ctl<QCheckBox>(box));
    Retype(Ctl<QLineEdit>(edit), typed);

    m_f->ClickApply();

    QCOMPARE(m_f->sheet->messages, QList<int>{WM_APPLY_SETTINGS});
    QVERIFY2(AnyReceived(*m_f->device, sent.toStdString()), qPrintable(sent));
    QCOMPARE(Device(path.toUtf8().constData()), kept.toStdString());
    QCOMPARE(Ctl<QLineEdit>(edit)->text(), kept);
    if (box != 0) {
        // The service the device kept off shows off, its port disabled again.
        QVERIFY(!Ctl<QCheckBox>(box)->isChecked());
        QVERIFY(!Ctl<QLineEdit>(edit)->isEnabled());
    }
    QVERIFY(!m_f->sheet->IsApplyEnabled());
}

void SerialPageTest::returningToThePageShowsTheDocument()
{
    Start();
    Toggle(Ctl<QCheckBox>(P::IDC_TELNET));
    QVERIFY(!Ctl<QLineEdit>(P::IDC_TELNET_PORT)->isEnabled());
    m_f->ClickTab(m_f->kMainTab);
    m_f->ClickTab(m_f->kPageTab);
    QCOMPARE(m_f->sheet->GetActivePage(), m_f->page.get());
    // The unapplied edit gave way to the document's value, and the port follows its box.
    QVERIFY(Ctl<QCheckBox>(P::IDC_TELNET)->isChecked());
    QVERIFY(Ctl<QLineEdit>(P::IDC_TELNET_PORT)->isEnabled());
    QVERIFY(Ctl<QCheckBox>(P::IDC_TELNET_KEEPALIVE)->isEnabled());
}

void SerialPageTest::screenshot()
{
    Start();
    m_f->sheet->resize(640, 520);
    QVERIFY(m_f->SaveScreenshot(QStringLiteral("SerialPage.png")));
}

QTEST_MAIN(SerialPageTest)
#include "SerialPageTest.moc"
