#include "FileDialog.h"
#include "MessageBox.h"
#include "PageSimFixture.h"
#include "RadioSettingChecks.h"
#include "RavloPage.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>
#include <optional>

using namespace tervane;
using namespace tervane::test;

namespace {

using P = RavloPage;

// The edits the binding table fills.
const QList<int> kBoundEdits{P::IDC_EXTENDED_ADDRESS, P::IDC_RADIO_FIRMWARE_VERSION, P::IDC_EXTENDED_PAN_ID,
    P::IDC_NODE_ID, P::IDC_DISCOVER_TIMEOUT, P::IDC_SCAN_CHANNELS, P::IDC_SCAN_DURATION, P::IDC_JOIN_TIME};
// The five checked edits in the order of the checks, and what the device holds in them.
const QList<int> kChecked{P::IDC_EXTENDED_PAN_ID, P::IDC_DISCOVER_TIMEOUT, P::IDC_SCAN_CHANNELS, P::IDC_SCAN_DURATION,
    P::IDC_JOIN_TIME};
const QStringList kDeviceValues{"0x0", "60", "0x7FFF", "3", "255"};

} // namespace

class RavloPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitXmlLibrary(); }
    void init() { m_f = std::make_unique<PageSimFixture<RavloPage>>(); }
    void cleanup() { m_f.reset(); }

    void showsTheRadioModule();
    void deviceVariants_data();
    void deviceVariants();
    void panIdComesFromTheStateWhenTheRadioLacksIt();
    void checks_data();
    void checks();
    void appliesTheValuesAsTyped();
    void markupAndNonAsciiReachTheDeviceAsTyped();
    void applyWhileAnotherTabShowsSendsNothing();
    void applyWithoutRadioSettingsSaysSo();
    void showsWhatTheDeviceKept_data();
    void showsWhatTheDeviceKept();
    void browseChoosesTheImage();
    void updateFlashesAndShowsTheReadBack();
    void uploadMismatchAsksRetryOrCancel_data();
    void uploadMismatchAsksRetryOrCancel();
    void updateWithoutFileSendsNothing();
    void screenshot();

private:
    // The page on a device as configured, the commands of the opening forgotten.
    void Start(const sim::DeviceConfig& config = FastRestarts(), const sim::Faults& faults = {},
        DocumentsFrom from = DocumentsFrom::Simulator);
    QLineEdit* Edit(int id) const { return m_f->Control<QLineEdit>(id); }
    std::string Radio(const char* path) const { return m_f->RadioSetting(path); }
    QString ImageFile(const QString& name) const;

    std::unique_ptr<PageSimFixture<RavloPage>> m_f;
};

void RavloPageTest::Start(const sim::DeviceConfig& config, const sim::Faults& faults, DocumentsFrom from)
{
    QVERIFY(m_f->Open(config, faults, from));
    m_f->device->ClearReceivedCommands();
}

QString RavloPageTest::ImageFile(const QString& name) const
{
    return QString::fromStdString(m_f->LocalFile(name.toStdString(), std::string(3000, '\x5a') + "radio image"));
}

void RavloPageTest::showsTheRadioModule()
{
    Start(FastRestarts(), {}, DocumentsFrom::DeviceQuery);
    QCOMPARE(Edit(P::IDC_EXTENDED_ADDRESS)->text(), "00:13:a2:00:40:9a:0b:1c!");
    QCOMPARE(Edit(P::IDC_PRODUCT_TYPE)->text(), "Q7 Gateway");
    QCOMPARE(Edit(P::IDC_RADIO_FIRMWARE_VERSION)->text(), "0x2164");
    // The radio's own PAN ID replaces the state's.
    QCOMPARE(Edit(P::IDC_EXTENDED_PAN_ID)->text(), "0x0");
    QCOMPARE(Edit(P::IDC_NODE_ID)->text(), "GATEWAY");
    QCOMPARE(Edit(P::IDC_DISCOVER_TIMEOUT)->text(), "60");
    QCOMPARE(Edit(P::IDC_SCAN_CHANNELS)->text(), "0x7FFF");
    QCOMPARE(Edit(P::IDC_SCAN_DURATION)->text(), "3");
    QCOMPARE(Edit(P::IDC_JOIN_TIME)->text(), "255");
    QCOMPARE(Edit(P::IDC_FIRMWARE_FILE)->text(), "");
    for (int id : {P::IDC_EXTENDED_ADDRESS, P::IDC_PRODUCT_TYPE, P::IDC_RADIO_FIRMWARE_VERSION})
        QVERIFY2(LooksReadOnly(Edit(id)), qPrintable(QString::number(id)));
    for (int id : {P::IDC_EXTENDED_PAN_ID, P::IDC_NODE_ID, P::IDC_FIRMWARE_FILE})
        QVERIFY2(!LooksReadOnly(Edit(id)) && !Edit(id)->isReadOnly(), qPrintable(QString::number(id)));
    QCOMPARE(Edit(P::IDC_EXTENDED_PAN_ID)->maxLength(), 20);
    QVERIFY(!m_f->page->IsModified());
    QVERIFY(!m_f->sheet->IsApplyEnabled());

    // Digits-only edits take no other keys; the others take any.
    Retype(Edit(P::IDC_DISCOVER_TIMEOUT), "-1x2");
    QCOMPARE(Edit(P::IDC_DISCOVER_TIMEOUT)->text(), "12");
    Retype(Edit(P::IDC_SCAN_CHANNELS), "-0xfF");
    QCOMPARE(Edit(P::IDC_SCAN_CHANNELS)->text(), "-0xfF");
    Retype(Edit(P::IDC_EXTENDED_PAN_ID), "0x0123456789abcdef0123456789");
    QCOMPARE(Edit(P::IDC_EXTENDED_PAN_ID)->text(), "0x0123456789abcdef01");
    QVERIFY(m_f->sheet->IsApplyEnabled());
}

void RavloPageTest::deviceVariants_data()
{
    QTest::addColumn<QStringList>("omitted");
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<bool>("noRadio");
    QTest::addColumn<QList<int>>("filled");
    const QList<int> fromState{P::IDC_EXTENDED_ADDRESS, P::IDC_RADIO_FIRMWARE_VERSION, P::IDC_EXTENDED_PAN_ID};
    QTest::newRow("every setting") << QStringList{} << QStringList{} << false << kBoundEdits;
    QList<int> withoutNodeId = kBoundEdits;
    withoutNodeId.removeAll(P::IDC_NODE_ID);
    QTest::newRow("no node identifier") << QStringList{"radio/node_id"} << QStringList{} << false << withoutNodeId;
    // The PAN ID still comes from the state.
    QTest::newRow("no radio settings") << QStringList{"radio"} << QStringList{} << false << fromState;
    QTest::newRow("radio settings query refused")
        << QStringList{} << QStringList{"target='zigbee'><query_setting/>"} << false << fromState;
    QTest::newRow("radio not configured") << QStringList{} << QStringList{} << true << QList<int>{};
}

void RavloPageTest::deviceVariants()
{
    QFETCH(QStringList, omitted);
    QFETCH(QStringList, refused);
    QFETCH(bool, noRadio);
    QFETCH(QList<int>, filled);
    sim::Faults faults = ErrorFor(refused);
    faults.noRadio = noRadio;
    Start(Omitting(omitted), faults, DocumentsFrom::DeviceQuery);
    // Whatever the device reported, every control of the page shows; a setting it did not
    // report leaves its edit empty.
    const std::vector<int> ids = m_f->page->ControlIds();
    QCOMPARE(m_f->ShownControls(), Sorted(QList<int>(ids.begin(), ids.end())));
    QVERIFY(m_f->Find<QGroupBox>("settingsGroup")->isVisible());
    for (int id : kBoundEdits)
        QVERIFY2(Edit(id)->text().isEmpty() != filled.contains(id), qPrintable(QString::number(id)));
    QCOMPARE(Edit(P::IDC_PRODUCT_TYPE)->text(), "Q7 Gateway");
    QCOMPARE(m_f->documents.RadioPageFlag(), !noRadio);
}

void RavloPageTest::panIdComesFromTheStateWhenTheRadioLacksIt()
{
    Start(Omitting({"radio/ext_pan_id"}));
    QCOMPARE(Edit(P::IDC_EXTENDED_PAN_ID)->text(), "0x0013A200409A0B1C");
    Retype(Edit(P::IDC_NODE_ID), "HUB");

    m_f->ClickApply();

    QCOMPARE(m_f->sheet->messages, QList<int>{WM_APPLY_RADIO_SETTINGS});
    QVERIFY(AnyReceived(*m_f->device, "<node_id>HUB</node_id>"));
    QVERIFY(!AnyReceived(*m_f->device, "ext_pan_id"));
    QCOMPARE(Radio("radio/node_id"), std::string("HUB"));
    QCOMPARE(Radio("radio/ext_pan_id"), std::string("<missing>"));
    // The state's value stays on the page: the apply reloads the radio settings only.
    QCOMPARE(Edit(P::IDC_EXTENDED_PAN_ID)->text(), "0x0013A200409A0B1C");
}

void RavloPageTest::checks_data()
{
    // Typed over the device's values; an empty message means the values are sent.
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");
    const auto row = [](const char* name, int field, const QString& text, std::string_view message) {
        QStringList typed = kDeviceValues;
        typed[int(kChecked.indexOf(field))] = text;
        QTest::newRow(name) << typed << QString::fromUtf8(message.data(), qsizetype(message.size()))
                            << (message.empty() ? 0 : field);
    };
    row("device values", P::IDC_EXTENDED_PAN_ID, "0x0", {});
    row("pan id 0", P::IDC_EXTENDED_PAN_ID, "0", kExtendedPanIdMessage);
    row("pan id upper-case X", P::IDC_EXTENDED_PAN_ID, "0X0", kExtendedPanIdMessage);
    row("pan id empty", P::IDC_EXTENDED_PAN_ID, "", kExtendedPanIdMessage);
    row("pan id not hexadecimal", P::IDC_EXTENDED_PAN_ID, "0xGHIJ", kExtendedPanIdMessage);
    row("pan id of 9 bytes", P::IDC_EXTENDED_PAN_ID, "0x0013A200409A0B1C00", kExtendedPanIdMessage);
    row("pan id of 8 bytes", P::IDC_EXTENDED_PAN_ID, "0x0013a200409A0B1C", {});
    row("discover timeout 252", P::IDC_DISCOVER_TIMEOUT, "252", {});
    row("discover timeout 253", P::IDC_DISCOVER_TIMEOUT, "253", kDiscoverTimeoutMessage);
    row("discover timeout empty", P::IDC_DISCOVER_TIMEOUT, "", {});
    row("scan channels ffff", P::IDC_SCAN_CHANNELS, "ffff", {});
    row("scan channels 0xffff", P::IDC_SCAN_CHANNELS, "0xffff", {});
    row("scan channels FFFF", P::IDC_SCAN_CHANNELS, "FFFF", {});
    row("scan channels 10000", P::IDC_SCAN_CHANNELS, "10000", kScanChannelsMessage);
    row("scan channels -1", P::IDC_SCAN_CHANNELS, "-1", kScanChannelsMessage);
    row("scan channels not hexadecimal", P::IDC_SCAN_CHANNELS, "xyz", {});
    row("scan duration 7", P::IDC_SCAN_DURATION, "7", {});
    row("scan duration 8", P::IDC_SCAN_DURATION, "8", kScanDurationMessage);
    row("join time 255", P::IDC_JOIN_TIME, "255", {});
    row("join time 256", P::IDC_JOIN_TIME, "256", kJoinTimeMessage);
    row("join time empty", P::IDC_JOIN_TIME, "", {});
    QTest::newRow("several bad values") << QStringList{"0x1", "253", "10000", "8", "256"}
                                        << QString::fromUtf8(kDiscoverTimeoutMessage.data()) << int(P::IDC_DISCOVER_TIMEOUT);
    QTest::newRow("last two bad") << QStringList{"0x1", "1", "1", "8", "256"}
                                  << QString::fromUtf8(kScanDurationMessage.data()) << int(P::IDC_SCAN_DURATION);
}

void RavloPageTest::checks()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, message);
    QFETCH(int, focus);
    Start();
    QVERIFY(QTest::qWaitForWindowActive(m_f->sheet.get()));
    Retype(Edit(P::IDC_NODE_ID), "NEW NODE");
    for (int i = 0; i < kChecked.size(); ++i)
        Retype(Edit(kChecked[i]), typed[i]);
    const std::string state = Dump(m_f->documents.StateDocument());
    const std::string radio = Dump(m_f->documents.RadioSettingsDocument());

    m_f->ClickApply();

    if (message.isEmpty()) {
        // The page's checks let the values go. The device may still refuse one (an empty
        // number, a text that is not hexadecimal) in its reply: the window says so, not the page.
        for (const MessageBoxRequest& box : MessageBox::history()) {
            QVERIFY(box.owner == m_f->sheet.get());
            QVERIFY2(box.text.startsWith(QStringLiteral("The device refused the new Ravlo settings:")),
                qPrintable(box.text));
        }
        QCOMPARE(m_f->sheet->messages, QList<int>{WM_APPLY_RADIO_SETTINGS});
        QVERIFY(!m_f->page->IsModified());
        return;
    }
    QCOMPARE(MessageBox::history().size(), 1);
    const MessageBoxRequest& box = MessageBox::history().constFirst();
    QCOMPARE(box.text, message);
    QCOMPARE(box.caption, "Error");
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.owner, m_f->page.get());
    QCOMPARE(m_f->sheet->focusWidget(), Edit(focus));
    // Nothing stored or sent; the page keeps what was typed and stays changed.
    QVERIFY(m_f->sheet->messages.isEmpty());
    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(Dump(m_f->documents.StateDocument()), state);
    QCOMPARE(Dump(m_f->documents.RadioSettingsDocument()), radio);
    for (int i = 0; i < kChecked.size(); ++i)
        QCOMPARE(Edit(kChecked[i])->text(), typed[i]);
    QCOMPARE(Edit(P::IDC_NODE_ID)->text(), "NEW NODE");
    QVERIFY(m_f->page->IsModified());
    QVERIFY(m_f->sheet->IsApplyEnabled());
    QCOMPARE(m_f->sheet->GetActivePage(), m_f->page.get());
}

void RavloPageTest::appliesTheValuesAsTyped()
{
    Start();
    Retype(Edit(P::IDC_EXTENDED_PAN_ID), "0x00aB");
    Retype(Edit(P::IDC_NODE_ID), "HUB-7");
    Retype(Edit(P::IDC_DISCOVER_TIMEOUT), "252");
    Retype(Edit(P::IDC_SCAN_CHANNELS), "ffff");
    Retype(Edit(P::IDC_SCAN_DURATION), "7");
    Retype(Edit(P::IDC_JOIN_TIME), "0");

    m_f->ClickApply();

    QCOMPARE(m_f->sheet->messages, QList<int>{WM_APPLY_RADIO_SETTINGS});
    QCOMPARE(Radio("radio/ext_pan_id"), std::string("0x00aB"));
    QCOMPARE(Radio("radio/node_id"), std::string("HUB-7"));
    QCOMPARE(Radio("radio/discover_timeout"), std::string("252"));
    QCOMPARE(Radio("radio/scan_channels"), std::string("ffff"));
    QCOMPARE(Radio("radio/scan_duration"), std::string("7"));
    QCOMPARE(Radio("radio/join_time"), std::string("0"));
    // Settings the page does not show are sent back as the device gave them.
    QCOMPARE(Radio("radio/power_level"), std::string("4"));
    QCOMPARE(Edit(P::IDC_SCAN_CHANNELS)->text(), "ffff");
    QVERIFY(!m_f->page->IsModified());
    QVERIFY(!m_f->sheet->IsApplyEnabled());
    // No settings document went out, only the radio's.
    QVERIFY(!AnyReceived(*m_f->device, "<serial"));
}

void RavloPageTest::markupAndNonAsciiReachTheDeviceAsTyped()
{
    Start();
    const QString typed = QStringLiteral("a&b<c>\"d'\u00e9\u20ac");
    Retype(Edit(P::IDC_NODE_ID), typed);
    QCOMPARE(Edit(P::IDC_NODE_ID)->text(), typed);

    m_f->ClickApply();

    QCOMPARE(Radio("radio/node_id"), typed.toStdString());
    QCOMPARE(Edit(P::IDC_NODE_ID)->text(), typed);
    QVERIFY(!m_f->page->IsModified());
}

void RavloPageTest::applyWhileAnotherTabShowsSendsNothing()
{
    Start();
    Retype(Edit(P::IDC_NODE_ID), "ELSEWHERE");

    m_f->ApplyOnTheOtherTab();

    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(Radio("radio/node_id"), std::string("GATEWAY"));
    // Coming back shows the edit as it was left: the page does not reload on return.
    m_f->ClickTab(m_f->kPageTab);
    QCOMPARE(m_f->sheet->GetActivePage(), m_f->page.get());
    QCOMPARE(Edit(P::IDC_NODE_ID)->text(), "ELSEWHERE");
}

void RavloPageTest::applyWithoutRadioSettingsSaysSo()
{
    // The radio settings query failed at start-up: there is no document to send.
    Start(FastRestarts(), ErrorFor({"target='zigbee'><query_setting/>"}), DocumentsFrom::DeviceQuery);
    QCOMPARE(m_f->documents.RadioSettingsDocument(), nullptr);
    Retype(Edit(P::IDC_NODE_ID), "HUB");

    m_f->ClickApply();

    QCOMPARE(MessageBox::history().size(), 1);
    const MessageBoxRequest& box = MessageBox::history().constFirst();
    // The box says what the device did, in the user's words; the parser's reason is kept for
    // the command log.
    QCOMPARE(box.text, SettingsNotReadPrompt(true));
    QVERIFY(box.text.contains("the device answered ERROR"));
    QVERIFY(!m_f->documents.RadioSettingsParseError().empty());
    QVERIFY(!box.text.contains(QString::fromStdString(m_f->documents.RadioSettingsParseError())));
    QCOMPARE(box.caption, "Error");
    QCOMPARE(box.owner, m_f->page.get());
    QVERIFY(box.text.contains("Refresh"));
    QVERIFY(m_f->sheet->messages.isEmpty());
    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(Radio("radio/node_id"), std::string("GATEWAY"));
    QCOMPARE(Edit(P::IDC_NODE_ID)->text(), "HUB");
    QVERIFY(m_f->page->IsModified());
    QVERIFY(m_f->sheet->IsApplyEnabled());
    QCOMPARE(m_f->sheet->GetActivePage(), m_f->page.get());
}

void RavloPageTest::showsWhatTheDeviceKept_data()
{
    QTest::addColumn<QStringList>("errorFor");
    QTest::addColumn<int>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("kept");
    // The device's words when it says why in its reply; an error answer shows no box.
    QTest::addColumn<QString>("said");
    QTest::newRow("device answers ERROR") << QStringList {"set_setting"} << int(P::IDC_NODE_ID) << "CHANGED"
                                          << "<node_id>CHANGED</node_id>"
                                          << "radio/node_id"
                                          << "GATEWAY"
                                          << "";
    QTest::newRow("device refuses a long node identifier")
        << QStringList {} << int(P::IDC_NODE_ID) << "NODE-IDENTIFIER-OF-21"
        << "<node_id>NODE-IDENTIFIER-OF-21</node_id>"
        << "radio/node_id"
        << "GATEWAY"
        << "Invalid value for node_id: NODE-IDENTIFIER-OF-21";
    // An empty timeout counts as 0 on the page and goes out empty; the device refuses it.
    QTest::newRow("empty discover timeout") << QStringList {} << int(P::IDC_DISCOVER_TIMEOUT) << ""
                                            << "<discover_timeout/>"
                                            << "radio/discover_timeout"
                                            << "60"
                                            << "Invalid value for discover_timeout: ";
}

void RavloPageTest::showsWhatTheDeviceKept()
{
    QFETCH(QStringList, errorFor);
    QFETCH(int, edit);
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QFETCH(QString, path);
    QFETCH(QString, kept);
    QFETCH(QString, said);
    Start(FastRestarts(), ErrorFor(errorFor));
    Retype(Edit(edit), typed);
    MessageBox::clearHistory();

    m_f->ClickApply();

    QCOMPARE(m_f->sheet->messages, QList<int>{WM_APPLY_RADIO_SETTINGS});
    QVERIFY2(AnyReceived(*m_f->device, sent.toStdString()), qPrintable(sent));
    QCOMPARE(Radio(path.toUtf8().constData()), kept.toStdString());
    QCOMPARE(Edit(edit)->text(), kept);
    QVERIFY(!m_f->page->IsModified());
    if (said.isEmpty()) {
        QVERIFY(MessageBox::history().isEmpty());
    } else {
        QCOMPARE(MessageBox::history().size(), 1);
        QCOMPARE(MessageBox::history().first().caption, QStringLiteral("Error"));
        QCOMPARE(MessageBox::history().first().text,
            QStringLiteral("The device refused the new Ravlo settings:\n\n") + said);
    }
}

void RavloPageTest::browseChoosesTheImage()
{
    Start();
    Retype(Edit(P::IDC_NODE_ID), "TYPED");
    const QString chosen = QStringLiteral("/images/ravlo 2.1.ebl");
    FileDialog::setAnswerer([&](const FileDialogRequest&) { return std::optional<QString>(chosen); });

    QTest::mouseClick(m_f->Control<QPushButton>(P::IDC_BROWSE), Qt::LeftButton);

    QCOMPARE(FileDialog::history().size(), 1);
    const FileDialogRequest& request = FileDialog::history().constFirst();
    QCOMPARE(request.owner, m_f->page.get());
    QCOMPARE(request.mode, FileDialogRequest::Mode::Open);
    QCOMPARE(request.defaultSuffix, "ebl");
    QCOMPARE(request.nameFilters, QStringList{"*.ebl (*)"});
    QCOMPARE(request.initialName, "");
    QCOMPARE(Edit(P::IDC_FIRMWARE_FILE)->text(), chosen);
    // What was typed elsewhere stays, and choosing a file is no change to apply.
    QCOMPARE(Edit(P::IDC_NODE_ID)->text(), "TYPED");
    QVERIFY(m_f->page->IsModified());

    // Cancel keeps the path; the dialog starts from it.
    FileDialog::setAnswerer([](const FileDialogRequest&) { return std::optional<QString>(); });
    QTest::mouseClick(m_f->Control<QPushButton>(P::IDC_BROWSE), Qt::LeftButton);
    QCOMPARE(FileDialog::history().size(), 2);
    QCOMPARE(FileDialog::history().constLast().initialName, chosen);
    QCOMPARE(Edit(P::IDC_FIRMWARE_FILE)->text(), chosen);
    QVERIFY(m_f->device->ReceivedCommands().empty());
}

void RavloPageTest::updateFlashesAndShowsTheReadBack()
{
    Start();
    Retype(Edit(P::IDC_FIRMWARE_FILE), ImageFile("ravlo_fw.ebl"));
    QVERIFY(!m_f->page->IsModified());
    Retype(Edit(P::IDC_NODE_ID), "UNAPPLIED");

    QTest::mouseClick(m_f->Control<QPushButton>(P::IDC_UPDATE), Qt::LeftButton);

    QVERIFY(MessageBox::history().isEmpty());
    QVERIFY(AnyReceived(*m_f->device, "<fw_update file='ravlo_fw.ebl'/>"));
    QVERIFY(m_f->device->HasFile("/WEB/mesh/ravlo_fw.ebl"));
    QCOMPARE(m_f->device->RadioFirmwareVersion(), m_f->device->Config().updatedRadioFirmwareVersion);
    // The page shows what the device reports now; the unapplied edit gave way to it.
    QCOMPARE(Edit(P::IDC_RADIO_FIRMWARE_VERSION)->text(),
        QString::fromStdString(m_f->device->Config().updatedRadioFirmwareVersion));
    QCOMPARE(Edit(P::IDC_NODE_ID)->text(), "GATEWAY");
    QCOMPARE(Edit(P::IDC_EXTENDED_ADDRESS)->text(), "00:13:a2:00:40:9a:0b:1c!");
    QVERIFY(m_f->sheet->messages.isEmpty());
}

void RavloPageTest::uploadMismatchAsksRetryOrCancel_data()
{
    QTest::addColumn<QList<QMessageBox::StandardButton>>("answers");
    QTest::addColumn<int>("questions");
    QTest::newRow("cancel") << QList<QMessageBox::StandardButton>{QMessageBox::Cancel} << 1;
    QTest::newRow("retry, then cancel") << QList<QMessageBox::StandardButton>{QMessageBox::Retry, QMessageBox::Cancel}
                                        << 2;
}

void RavloPageTest::uploadMismatchAsksRetryOrCancel()
{
    QFETCH(QList<QMessageBox::StandardButton>, answers);
    QFETCH(int, questions);
    sim::Faults faults;
    faults.corruptUploads = true;
    Start(FastRestarts(), faults);
    // The Retry/Cancel questions are answered in turn; Cancel once the answers run out.
    MessageBox::setAnswerer([&answers](const MessageBoxRequest& request) {
        if (!(request.buttons & QMessageBox::Retry))
            return QMessageBox::Ok;
        return answers.isEmpty() ? QMessageBox::Cancel : answers.takeFirst();
    });
    Retype(Edit(P::IDC_FIRMWARE_FILE), ImageFile("ravlo_fw.ebl"));
    Retype(Edit(P::IDC_NODE_ID), "UNAPPLIED");

    QTest::mouseClick(m_f->Control<QPushButton>(P::IDC_UPDATE), Qt::LeftButton);

    QCOMPARE(MessageBox::history().size(), questions);
    for (const MessageBoxRequest& box : MessageBox::history()) {
        QCOMPARE(box.caption, "Error");
        QCOMPARE(box.buttons, QMessageBox::Retry | QMessageBox::Cancel);
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.owner, nullptr);
        QVERIFY(box.text.startsWith("File upload failed.  MD5 sum should have been "));
        QVERIFY(box.text.endsWith(".\r\nSelect Retry to attempt the file upload again."));
    }
    QCOMPARE(AnyReceived(*m_f->device, "rm name='/WEB/mesh/ravlo_fw.ebl'"), questions > 1);
    // Cancelled: the image stays, nothing is flashed and the page is as it was.
    QVERIFY(m_f->device->HasFile("/WEB/mesh/ravlo_fw.ebl"));
    QVERIFY(!AnyReceived(*m_f->device, "fw_update"));
    QCOMPARE(Edit(P::IDC_RADIO_FIRMWARE_VERSION)->text(), "0x2164");
    QCOMPARE(Edit(P::IDC_NODE_ID)->text(), "UNAPPLIED");
    QVERIFY(m_f->page->IsModified());
}

void RavloPageTest::updateWithoutFileSendsNothing()
{
    Start();

    QTest::mouseClick(m_f->Control<QPushButton>(P::IDC_UPDATE), Qt::LeftButton);

    QCOMPARE(MessageBox::history().size(), 1);
    QCOMPARE(MessageBox::history().constFirst().text, "You must select the firmware file to update.");
    QCOMPARE(MessageBox::history().constFirst().caption, "Please enter a filename");
    QVERIFY(m_f->device->ReceivedCommands().empty());
}

void RavloPageTest::screenshot()
{
    Start();
    QVERIFY(m_f->SaveScreenshot(QStringLiteral("RavloPage.png")));
}

QTEST_MAIN(RavloPageTest)
#include "RavloPageTest.moc"
