#include "DeviceRunner.h"
#include "MessageBox.h"
#include "PropertyPage.h"
#include "PropertySheet.h"
#include "RciDocuments.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SettingPath.h"
#include "XmlText.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

using namespace tervane;

namespace {

constexpr const char* kSettingsReply =
    "<rci_reply version='1.1'><query_setting><serial><name>port one</name><baud>9600</baud>"
    "<enabled>on</enabled><parity>even</parity></serial></query_setting></rci_reply>";

// A page binding four settings of the settings document, one of each kind of control.
class TestPage : public PropertyPage {
public:
    enum { IDC_NAME = 1, IDC_BAUD, IDC_ENABLED, IDC_PARITY };

    TestPage(const QString& caption, RciDocuments& documents, DeviceRunner& runner)
        : PropertyPage(caption, documents, runner)
    {
        AddControl(IDC_NAME, new QLineEdit);
        AddControl(IDC_BAUD, new QLineEdit);
        AddControl(IDC_ENABLED, new QCheckBox(QStringLiteral("Enabled")));
        AddControl(IDC_PARITY, new QComboBox);
        auto* column = new QVBoxLayout(this);
        for (int id : ControlIds())
            column->addWidget(GetDlgItem(id));
        Bindings() = {
            {"serial/name", IDC_NAME, IDC_NAME, {}, BIND_TEXT, nullptr, nullptr},
            {"serial/baud", IDC_BAUD, IDC_BAUD, {}, BIND_INT, nullptr, nullptr},
            {"serial/enabled", IDC_ENABLED, IDC_ENABLED, {}, BIND_ONOFF, nullptr, nullptr},
            {"serial/parity", IDC_PARITY, IDC_PARITY, "none\neven\nodd", BIND_TEXT | BIND_CHOICES, nullptr, nullptr},
        };
        ExchangeText(IDC_NAME, IDC_NAME);
        ExchangeInt(IDC_BAUD, IDC_BAUD, 1, 65535);
        ExchangeCheck(IDC_ENABLED, IDC_ENABLED);
        ExchangeChoice(IDC_PARITY, IDC_PARITY);
        for (int id : ControlIds())
            RouteToFieldChange(id);
    }

    bool OnInitDialog() override
    {
        ++initCount;
        HideAllControls();
        FillChoiceLists();
        LoadBindings(Documents().SettingsRoot());
        PropertyPage::OnInitDialog();
        SetModified(false);
        return true;
    }
    bool OnSetActive() override
    {
        ++setActiveCount;
        LoadBindings(Documents().SettingsRoot());
        return PropertyPage::OnSetActive();
    }
    bool OnApply() override
    {
        ++applyCount;
        return ApplyBindings(&RciDocuments::SettingsRoot, WM_APPLY_SETTINGS);
    }
    bool DoDataExchange(bool saveAndValidate) override
    {
        if (!saveAndValidate)
            ++toControlsCount;
        return PropertyPage::DoDataExchange(saveAndValidate);
    }

    QLineEdit* Name() const { return Control<QLineEdit>(IDC_NAME); }
    QLineEdit* Baud() const { return Control<QLineEdit>(IDC_BAUD); }
    QCheckBox* Enabled() const { return Control<QCheckBox>(IDC_ENABLED); }
    QComboBox* Parity() const { return Control<QComboBox>(IDC_PARITY); }

    int initCount = 0;
    int setActiveCount = 0;
    int applyCount = 0;
    int toControlsCount = 0;
};

// Answers the apply messages like the device: the settings come back with the baud rate
// the device settled on.
class RecordingSheet : public PropertySheet {
public:
    explicit RecordingSheet(RciDocuments& documents)
        : PropertySheet(QStringLiteral("Sheet"))
        , m_documents(documents)
    {
    }

    QList<int> messages;
    QString baudSentToDevice;
    QString nameSentToDevice;

protected:
    long OnMessage(int message) override
    {
        messages.append(message);
        xmlNodePtr root = m_documents.SettingsRoot();
        baudSentToDevice = Text(root, "serial/baud");
        nameSentToDevice = Text(root, "serial/name");
        m_documents.ParseSettings(
            "<rci_reply version='1.1'><query_setting><serial><name>" + nameSentToDevice.toStdString()
            + "</name><baud>19200</baud><enabled>off</enabled><parity>odd</parity></serial></query_setting>"
              "</rci_reply>");
        return 0;
    }

private:
    static QString Text(xmlNodePtr root, const char* path)
    {
        xmlNodePtr element = ResolvePath(root, path);
        if (element == nullptr)
            return {};
        const XmlString text(xmlNodeGetContent(element));
        return QString::fromUtf8(reinterpret_cast<const char*>(text.get()));
    }

    RciDocuments& m_documents;
};

} // namespace

class PropertyPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitXmlLibrary(); }
    void init();
    void cleanup();

    void firstActivationInitialisesThenLaterOnesRefreshTheControls();
    void loadingShowsOnlyTheControlsOfSettingsPresent();
    void userEditsEnableApply_data();
    void userEditsEnableApply();
    void filingTheControlsDoesNotEnableApply();
    void leavingRefusesABadNumber_data();
    void leavingRefusesABadNumber();
    void okRefusesABadNumberAndSendsNothing();
    void onlyTheActivePageApplies();
    void applyReloadsFromTheNewDocument();
    void wholeNumbers_data();
    void wholeNumbers();

private:
    void Open();

    RciDocuments m_documents;
    SerialLink m_link;
    std::unique_ptr<DirectRunner> m_runner;
    std::unique_ptr<RecordingSheet> m_sheet;
    std::unique_ptr<TestPage> m_first;
    std::unique_ptr<TestPage> m_second;
};

void PropertyPageTest::init()
{
    m_documents.ParseSettings(kSettingsReply);
    m_runner = std::make_unique<DirectRunner>(m_link);
    m_sheet = std::make_unique<RecordingSheet>(m_documents);
    m_first = std::make_unique<TestPage>(QStringLiteral("First"), m_documents, *m_runner);
    m_second = std::make_unique<TestPage>(QStringLiteral("Second"), m_documents, *m_runner);
    m_sheet->AddPage(m_first.get());
    m_sheet->AddPage(m_second.get());
    MessageBox::setAnswerer([](const MessageBoxRequest&) { return QMessageBox::Ok; });
    MessageBox::clearHistory();
}

void PropertyPageTest::cleanup()
{
    MessageBox::setAnswerer({});
    m_second.reset();
    m_first.reset();
    m_sheet.reset();
    m_documents.FreeAll();
}

void PropertyPageTest::Open()
{
    m_sheet->show();
    QApplication::setActiveWindow(m_sheet.get());
    QVERIFY(QTest::qWaitForWindowActive(m_sheet.get()));
}

void PropertyPageTest::firstActivationInitialisesThenLaterOnesRefreshTheControls()
{
    QCOMPARE(m_first->HasWindow(), false);
    Open();
    QCOMPARE(m_first->initCount, 1);
    QCOMPARE(m_first->setActiveCount, 1);
    QCOMPARE(m_first->toControlsCount, 1); // only OnInitDialog's own
    QCOMPARE(m_second->HasWindow(), false);
    QCOMPARE(m_first->Name()->text(), QStringLiteral("port one"));

    m_sheet->Tabs()->setCurrentIndex(1);
    QCOMPARE(m_sheet->GetActivePage(), m_second.get());
    QCOMPARE(m_second->initCount, 1);

    m_first->Fields().SetText(TestPage::IDC_NAME, "changed behind the controls");
    m_sheet->Tabs()->setCurrentIndex(0);
    QCOMPARE(m_first->initCount, 1);
    QCOMPARE(m_first->setActiveCount, 2);
    QCOMPARE(m_first->toControlsCount, 2);
    // OnSetActive loaded the document again before the framework copied the fields.
    QCOMPARE(m_first->Name()->text(), QStringLiteral("port one"));
}

void PropertyPageTest::loadingShowsOnlyTheControlsOfSettingsPresent()
{
    m_documents.ParseSettings("<r><query_setting><serial><baud>4800</baud></serial></query_setting></r>");
    Open();
    QVERIFY(m_first->IsControlShown(TestPage::IDC_BAUD));
    QVERIFY(!m_first->IsControlShown(TestPage::IDC_NAME));
    QVERIFY(!m_first->IsControlShown(TestPage::IDC_ENABLED));
    QVERIFY(!m_first->IsControlShown(TestPage::IDC_PARITY));
    QCOMPARE(m_first->Baud()->text(), QStringLiteral("4800"));
}

void PropertyPageTest::userEditsEnableApply_data()
{
    QTest::addColumn<int>("control");
    QTest::newRow("typing in an edit") << int(TestPage::IDC_NAME);
    QTest::newRow("choosing an entry") << int(TestPage::IDC_PARITY);
    QTest::newRow("clicking a check box") << int(TestPage::IDC_ENABLED);
}

void PropertyPageTest::userEditsEnableApply()
{
    QFETCH(int, control);
    Open();
    QVERIFY(!m_sheet->IsApplyEnabled());
    switch (control) {
    case TestPage::IDC_NAME:
        QTest::keyClicks(m_first->Name(), QStringLiteral("x"));
        break;
    case TestPage::IDC_PARITY:
        m_first->Parity()->setFocus();
        QTest::keyClick(m_first->Parity(), Qt::Key_Down);
        break;
    default:
        QTest::mouseClick(m_first->Enabled(), Qt::LeftButton, {}, QPoint(6, m_first->Enabled()->height() / 2));
        break;
    }
    QVERIFY(m_first->IsModified());
    QVERIFY(m_sheet->IsApplyEnabled());
    m_first->SetModified(false);
    QVERIFY(!m_sheet->IsApplyEnabled());
}

void PropertyPageTest::filingTheControlsDoesNotEnableApply()
{
    Open();
    m_first->Fields().SetText(TestPage::IDC_NAME, "new text");
    m_first->Fields().SetInt(TestPage::IDC_ENABLED, 0);
    m_first->Fields().SetText(TestPage::IDC_PARITY, "odd");
    m_first->UpdateData(false);
    QCOMPARE(m_first->Name()->text(), QStringLiteral("new text"));
    QCOMPARE(m_first->Parity()->currentText(), QStringLiteral("odd"));
    QVERIFY(!m_sheet->IsApplyEnabled());
}

void PropertyPageTest::leavingRefusesABadNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("above the range") << "65536" << "Please enter a whole number between 1 and 65535.";
    QTest::newRow("below the range") << "0" << "Please enter a whole number between 1 and 65535.";
    QTest::newRow("beyond 32 bits") << "99999999999" << "Please enter a whole number.";
    QTest::newRow("letters after the number") << "12ab" << "Please enter a whole number.";
    QTest::newRow("empty") << "" << "Please enter a whole number.";
}

void PropertyPageTest::leavingRefusesABadNumber()
{
    QFETCH(QString, typed);
    QFETCH(QString, prompt);
    Open();
    m_first->Baud()->setText(typed);
    m_first->Name()->setFocus();
    m_sheet->Tabs()->setCurrentIndex(1);

    QCOMPARE(m_sheet->GetActivePage(), m_first.get());
    QCOMPARE(m_sheet->Tabs()->currentIndex(), 0);
    QVERIFY(!m_second->HasWindow());
    QCOMPARE(MessageBox::history().size(), 1);
    const MessageBoxRequest& box = MessageBox::history().first();
    QCOMPARE(box.text, prompt);
    QCOMPARE(box.caption, QStringLiteral("Tervane Q7 Dashboard"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.owner, m_first.get());
    QVERIFY(m_first->Baud()->hasFocus());
    QCOMPARE(m_first->Baud()->selectedText(), typed);
    QCOMPARE(m_first->Fields().Int(TestPage::IDC_BAUD), 9600);

    m_first->Baud()->setText(QStringLiteral(" 57600 "));
    m_sheet->Tabs()->setCurrentIndex(1);
    QCOMPARE(m_sheet->GetActivePage(), m_second.get());
    QCOMPARE(m_first->Fields().Int(TestPage::IDC_BAUD), 57600);
}

void PropertyPageTest::okRefusesABadNumberAndSendsNothing()
{
    Open();
    QTest::keyClicks(m_first->Baud(), QStringLiteral("9"));
    m_first->Baud()->setText(QStringLiteral("70000"));
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    QVERIFY(m_sheet->isVisible());
    QCOMPARE(m_sheet->result(), 0);
    QVERIFY(m_sheet->messages.isEmpty());
    QCOMPARE(m_first->applyCount, 0);
    QVERIFY(m_sheet->IsApplyEnabled());
}

void PropertyPageTest::onlyTheActivePageApplies()
{
    Open();
    QTest::keyClicks(m_first->Name(), QStringLiteral(" edited"));
    m_sheet->Tabs()->setCurrentIndex(1);
    m_second->Baud()->setText(QStringLiteral("38400"));
    QTest::keyClicks(m_second->Name(), QStringLiteral(" & <second>"));
    QVERIFY(m_sheet->IsApplyEnabled());

    QTest::mouseClick(m_sheet->ApplyButton(), Qt::LeftButton);

    QCOMPARE(m_first->applyCount, 1);
    QCOMPARE(m_second->applyCount, 1);
    QCOMPARE(m_sheet->messages, QList<int>{WM_APPLY_SETTINGS});
    QCOMPARE(m_sheet->baudSentToDevice, QStringLiteral("38400"));
    QCOMPARE(m_sheet->nameSentToDevice, QStringLiteral("port one & <second>"));
    QVERIFY(!m_sheet->IsApplyEnabled());
    QVERIFY(!m_first->IsModified());
    QVERIFY(!m_second->IsModified());
}

void PropertyPageTest::applyReloadsFromTheNewDocument()
{
    Open();
    QTest::keyClicks(m_first->Name(), QStringLiteral("!"));
    QTest::mouseClick(m_sheet->ApplyButton(), Qt::LeftButton);
    QCOMPARE(m_sheet->messages.size(), 1);
    QCOMPARE(m_first->Baud()->text(), QStringLiteral("19200"));
    QCOMPARE(m_first->Enabled()->isChecked(), false);
    QCOMPARE(m_first->Parity()->currentText(), QStringLiteral("odd"));
    QCOMPARE(m_first->Name()->text(), QStringLiteral("port one!"));
    QVERIFY(!m_sheet->IsApplyEnabled());
}

void PropertyPageTest::wholeNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "42" << true << 42;
    QTest::newRow("blanks around") << "  -7 " << true << -7;
    QTest::newRow("plus sign") << "+5" << true << 5;
    QTest::newRow("lowest") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("highest") << "2147483647" << true << 2147483647;
    QTest::newRow("one past highest") << "2147483648" << false << 0;
    QTest::newRow("sign alone") << "-" << false << 0;
    QTest::newRow("inner blank") << "1 2" << false << 0;
    QTest::newRow("decimal point") << "1.5" << false << 0;
    QTest::newRow("hexadecimal") << "0x10" << false << 0;
}

void PropertyPageTest::wholeNumbers()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    int32_t parsed = 0;
    QCOMPARE(ParseWholeNumber(text, parsed), valid);
    if (valid)
        QCOMPARE(parsed, value);
}

QTEST_MAIN(PropertyPageTest)
#include "PropertyPageTest.moc"
