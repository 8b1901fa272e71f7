#include "MainPage.h"
#include "DeviceRunner.h"
#include "EditLooks.h"
#include "PropertySheet.h"
#include "RciDocuments.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SettingPath.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace tervane;
using tervane::test::LooksReadOnly;

class MainPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitXmlLibrary(); }
    void cleanup();

    void showsTheDevicesFacts();
    void showsTheDevicesControlsReplaced();
    void lampsAreHiddenUntilThePageIsShown();
    void withoutSimShowsItsWords();
    void numberErrorShowsNotAvailable();
    void unreadableStateLeavesTheLinkLampOff();
    void signalLamps_data();
    void signalLamps();
    void signalLampsSayWhatTheyShow_data();
    void signalLampsSayWhatTheyShow();
    void refreshReadsTheDeviceAgain();
    void addressControlShowsOnlyDottedAddresses_data();
    void addressControlShowsOnlyDottedAddresses();

private:
    // Starts the simulated device, runs the query straight on the link and shows the page.
    void StartAndShow(const sim::DeviceConfig& config = {}, const sim::Faults& faults = {});
    // The same, on a device of that model reporting that signal quality.
    void StartWithSignal(int quality, const QString& model);
    QString Edit(const char* name) const { return m_page->findChild<QLineEdit*>(name)->text(); }

    std::unique_ptr<sim::SimulatedQ7> m_device;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<DirectRunner> m_runner;
    std::unique_ptr<RciDocuments> m_documents;
    std::unique_ptr<PropertySheet> m_sheet;
    std::unique_ptr<MainPage> m_page;
};

void MainPageTest::cleanup()
{
    m_page.reset();
    m_sheet.reset();
    m_documents.reset();
    m_runner.reset();
    m_link.reset();
    m_device.reset();
}

void MainPageTest::StartAndShow(const sim::DeviceConfig& config, const sim::Faults& faults)
{
    m_device = std::make_unique<sim::SimulatedQ7>(config);
    m_link = std::make_unique<SerialLink>();
    QVERIFY(test::StartAndOpen(*m_device, *m_link, faults));
    m_runner = std::make_unique<DirectRunner>(*m_link);
    m_documents = std::make_unique<RciDocuments>();
    m_page = std::make_unique<MainPage>(*m_documents, *m_runner);
    m_page->SetStatus(QStringLiteral("Connected (%1)").arg(QString::fromStdString(m_device->PortPath())));
    QVERIFY(m_page->QueryDevice());
    m_sheet = std::make_unique<PropertySheet>(QStringLiteral("Sheet"));
    m_sheet->AddPage(m_page.get());
    m_sheet->show();
}

void MainPageTest::StartWithSignal(int quality, const QString& model)
{
    sim::DeviceConfig config;
    config.signalQuality = quality;
    config.model = model.toStdString();
    StartAndShow(config);
}

void MainPageTest::showsTheDevicesFacts()
{
    sim::DeviceConfig config;
    StartAndShow(config);
    QCOMPARE(Edit("status"), QStringLiteral("Connected (%1)").arg(QString::fromStdString(m_device->PortPath())));
    QCOMPARE(Edit("product"), QString::fromStdString(config.model));
    QCOMPARE(Edit("firmwareVersion"), QString::fromStdString(config.firmwareVersion));
    QCOMPARE(Edit("imei"), QString::fromStdString(config.imei));
    QCOMPARE(Edit("phoneNumber"), QString::fromStdString(config.phoneNumber));
    QCOMPARE(Edit("iccid"), QString::fromStdString(config.iccid));
    QCOMPARE(Edit("imsi"), QString::fromStdString(config.imsi));
    QCOMPARE(Edit("modemType"), QString::fromStdString(config.manufacturer));
    QCOMPARE(Edit("modemRevision"), QString::fromStdString(config.modemRevision));
    QCOMPARE(Edit("mobileIpAddress"), QString::fromStdString(config.mobileIpAddress));
    QVERIFY(!m_page->findChild<QLineEdit*>("mobileIpAddress")->isEnabled());
    for (const char* name : {"status", "product", "firmwareVersion", "imei", "phoneNumber", "iccid", "imsi",
             "modemType", "modemRevision"})
        QVERIFY2(LooksReadOnly(m_page->findChild<QLineEdit*>(name)), name);
    QVERIFY(m_page->IsLinkLampLit());
    QVERIFY(!m_page->IsModified());
}

void MainPageTest::lampsAreHiddenUntilThePageIsShown()
{
    m_device = std::make_unique<sim::SimulatedQ7>();
    SerialLink link;
    QVERIFY(test::StartAndOpen(*m_device, link));
    DirectRunner runner(link);
    RciDocuments documents;
    MainPage page(documents, runner);
    QVERIFY(page.QueryDevice());
    page.EnsureWindow();
    for (int k = 1; k <= MainPage::kSignalLampCount; ++k)
        QVERIFY(!page.IsSignalLampShown(k));
    page.OnSetActive();
    for (int k = 1; k <= MainPage::kSignalLampCount; ++k)
        QVERIFY(page.IsSignalLampShown(k));
}

void MainPageTest::withoutSimShowsItsWords()
{
    sim::Faults faults;
    faults.noSim = true;
    StartAndShow({}, faults);
    QCOMPARE(Edit("imsi"), QStringLiteral("No SIM Inserted"));
    QCOMPARE(Edit("phoneNumber"), QStringLiteral("N/A"));
    QCOMPARE(Edit("iccid"), QString());
    QCOMPARE(Edit("mobileIpAddress"), QStringLiteral("0.0.0.0"));
    QVERIFY(!m_page->IsLinkLampLit());
}

void MainPageTest::numberErrorShowsNotAvailable()
{
    sim::Faults faults;
    faults.cnumError = true;
    StartAndShow({}, faults);
    QCOMPARE(Edit("phoneNumber"), QStringLiteral("N/A"));
    QVERIFY(Edit("imsi") != QStringLiteral("No SIM Inserted"));
}

void MainPageTest::unreadableStateLeavesTheLinkLampOff()
{
    // An empty address would light the lamp; without a state nothing shows the link is up.
    sim::Faults faults;
    faults.brokenState = true;
    StartAndShow({}, faults);
    QVERIFY(m_documents->StateRoot() == nullptr);
    QCOMPARE(Edit("mobileIpAddress"), QString());
    QVERIFY(!m_page->IsLinkLampLit());
}

void MainPageTest::signalLamps_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("lit");
    QTest::newRow("unknown 99 lights none") << 99 << "Q7" << 5 << 0;
    QTest::newRow("2 lights none") << 2 << "Q7" << 5 << 0;
    QTest::newRow("3 lights one") << 3 << "Q7" << 5 << 1;
    QTest::newRow("17 lights four") << 17 << "Q7" << 5 << 4;
    QTest::newRow("31 lights all") << 31 << "Q7" << 5 << 5;
    QTest::newRow("Q7R 17 lights two of three") << 17 << "Q7R" << 3 << 2;
    QTest::newRow("Q7R 31 lights three") << 31 << "Q7R" << 3 << 3;
}

void MainPageTest::signalLamps()
{
    QFETCH(int, quality);
    QFETCH(QString, model);
    QFETCH(int, shown);
    QFETCH(int, lit);
    StartWithSignal(quality, model);
    for (int k = 1; k <= MainPage::kSignalLampCount; ++k) {
        QCOMPARE(m_page->IsSignalLampShown(k), k <= shown);
        QCOMPARE(m_page->IsSignalLampLit(k), k <= lit);
    }
    // The unknown quality is kept as 0 once the lamps have shown it.
    QCOMPARE(m_page->SignalQuality(), quality == 99 ? 0 : quality);
}

void MainPageTest::signalLampsSayWhatTheyShow_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("meaning");
    QTest::addColumn<int>("refreshedQuality");
    QTest::addColumn<QString>("refreshedMeaning");
    QTest::newRow("known, then unknown") << 14 << "Q7"
                                         << "Signal 14 (-85 dBm): 4 of 5 bars" << 99 << "Signal unknown: 0 of 5 bars";
    QTest::newRow("unknown, then known") << 99 << "Q7"
                                         << "Signal unknown: 0 of 5 bars" << 31 << "Signal 31 (-51 dBm): 5 of 5 bars";
    QTest::newRow("unknown, then 0") << 99 << "Q7R"
                                     << "Signal unknown: 0 of 3 bars" << 0 << "Signal 0 (-113 dBm): 0 of 3 bars";
    QTest::newRow("0, then unknown") << 0 << "Q7"
                                     << "Signal 0 (-113 dBm): 0 of 5 bars" << 99 << "Signal unknown: 0 of 5 bars";
}

void MainPageTest::signalLampsSayWhatTheyShow()
{
    QFETCH(int, quality);
    QFETCH(QString, model);
    QFETCH(QString, meaning);
    QFETCH(int, refreshedQuality);
    QFETCH(QString, refreshedMeaning);
    StartWithSignal(quality, model);
    // Each lamp's tooltip and accessible description, in turn.
    const auto meanings = [this] {
        QStringList texts;
        for (int k = 1; k <= MainPage::kSignalLampCount; ++k) {
            const QWidget* lamp = m_page->GetDlgItem(MainPage::IDC_SIGNAL_LAMP1 + k - 1);
            texts << lamp->toolTip() << lamp->accessibleDescription();
        }
        return texts;
    };
    const QStringList all(2 * MainPage::kSignalLampCount, meaning);
    QCOMPARE(meanings(), all);
    // Shown again, the lamps still say what the device reported.
    m_page->OnSetActive();
    QCOMPARE(meanings(), all);

    m_device->SetSignalQuality(refreshedQuality);
    QTest::mouseClick(m_page->findChild<QPushButton*>("refresh"), Qt::LeftButton);
    QCOMPARE(meanings(), QStringList(2 * MainPage::kSignalLampCount, refreshedMeaning));
}

void MainPageTest::refreshReadsTheDeviceAgain()
{
    StartAndShow();
    QVERIFY(m_page->IsSignalLampLit(5));
    QVERIFY(m_device->SetSetting("mobile_simple/apn", "refreshed.example"));
    m_device->SetSignalQuality(4);
    m_device->ChangeFaults([](sim::Faults& f) { f.noSim = true; });

    QTest::mouseClick(m_page->findChild<QPushButton*>("refresh"), Qt::LeftButton);

    xmlNodePtr apn = ResolvePath(m_documents->SettingsRoot(), "mobile_simple/apn");
    QVERIFY(apn != nullptr);
    const XmlString apnText(xmlNodeGetContent(apn));
    QCOMPARE(QString::fromUtf8(reinterpret_cast<const char*>(apnText.get())), QStringLiteral("refreshed.example"));
    QCOMPARE(m_page->SignalQuality(), 4);
    QVERIFY(m_page->IsSignalLampLit(1));
    QVERIFY(!m_page->IsSignalLampLit(2));
    QCOMPARE(Edit("imsi"), QStringLiteral("No SIM Inserted"));
    QCOMPARE(Edit("mobileIpAddress"), QStringLiteral("0.0.0.0"));
    QVERIFY(!m_page->IsLinkLampLit());
}

void MainPageTest::addressControlShowsOnlyDottedAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("linkLit");
    QTest::newRow("dotted") << "192.168.1.20" << "192.168.1.20" << true;
    QTest::newRow("null address") << "0.0.0.0" << "0.0.0.0" << false;
    QTest::newRow("empty") << "" << "" << true;
    QTest::newRow("not an IPv4 address") << "fe80::1" << "" << true;
    QTest::newRow("number too large") << "10.0.0.300" << "" << true;
}

void MainPageTest::addressControlShowsOnlyDottedAddresses()
{
    QFETCH(QString, address);
    QFETCH(QString, shown);
    QFETCH(bool, linkLit);
    SerialLink link;
    DirectRunner runner(link);
    RciDocuments documents;
    const QString ipElement = address.isEmpty() ? QString() : "<ppp_stats><ip_address>" + address + "</ip_address></ppp_stats>";
    documents.ParseState(("<rci_reply><query_state><device_info><model>Skellin Q7</model></device_info>" + ipElement
                          + "</query_state></rci_reply>")
                             .toStdString());
    MainPage page(documents, runner);
    page.EnsureWindow();
    page.OnSetActive();
    QCOMPARE(page.findChild<QLineEdit*>("mobileIpAddress")->text(), shown);
    QCOMPARE(page.IsLinkLampLit(), linkLit);
}

// C1 controls (U+009B, the one-byte CSI, in UTF-8 and as a stray byte) and C0 ones in the
// device's texts show as "?", as the tool shows them; the facts keep what the device said.
void MainPageTest::showsTheDevicesControlsReplaced()
{
    sim::DeviceConfig config;
    config.manufacturer = "WAVECOM\xc2\x9b"
                          "2J MODEM";
    config.imei = "35693803564\x9b"
                  "3809";
    config.modemRevision = "R7\x1b[2J";
    StartAndShow(config);
    QCOMPARE(Edit("modemType"), QStringLiteral("WAVECOM?2J MODEM"));
    QCOMPARE(Edit("imei"), QStringLiteral("35693803564?3809"));
    QCOMPARE(Edit("modemRevision"), QStringLiteral("R7?[2J"));
    QCOMPARE(m_page->Facts().imei, config.imei);
    QVERIFY(m_page->UpdateData(true));
    QCOMPARE(m_page->Facts().modemType, config.manufacturer);
}

QTEST_MAIN(MainPageTest)
#include "MainPageTest.moc"
