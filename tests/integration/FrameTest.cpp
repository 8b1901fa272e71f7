#include "CAboutDlg.h"
#include "CHyperLink.h"
#include "CellPage.h"
#include "DeviceQuery.h"
#include "DeviceRunner.h"
#include "LinkStatus.h"
#include "MainPage.h"
#include "MessageBox.h"
#include "RciDocuments.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SettingPath.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"
#include "TBPropertySheet.h"
#include "XmlText.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <memory>

using namespace tervane;

// Stands in for the desktop's browser: QDesktopServices hands it the addresses to open.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class FrameTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void windowHasTitleIconAndMinimizeButton();
    void menuHoldsAboutAndMinimize();
    void contextMenuOnlyOnTheTabBar_data();
    void contextMenuOnlyOnTheTabBar();
    void minimizeAndRestoreKeepThePage();
    void aboutFromTheKeyboardReturnsToTheSameSheet();
    void applyMessagesReachTheDevice();
    void closingWithUnappliedChangesAsks_data();
    void closingWithUnappliedChangesAsks();
    void statusBarShowsTheLink();
    void remembersSizePlaceAndPage_data();
    void remembersSizePlaceAndPage();

    void aboutBoxTexts();
    void aboutBoxWithoutAddressHidesTheLink();
    void linkColourTexts_data();
    void linkColourTexts();
    void linkColoursDefaultToTheDesktop();
    void hoverUnderlinesAndRecolours();
    void clickAndSpaceOpenTheAddress();
    void aboutBoxScreenshot();

private:
    CAboutDlg* WaitForAbout();

    UrlCatcher m_catcher;
    SerialLink m_idleLink;
    std::unique_ptr<DirectRunner> m_idleRunner;
    RciDocuments m_documents;
    std::unique_ptr<TBPropertySheet> m_sheet;
    std::unique_ptr<MainPage> m_main;
    std::unique_ptr<CellPage> m_cell;
};

void FrameTest::initTestCase()
{
    InitXmlLibrary();
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_catcher, "open");
    m_idleRunner = std::make_unique<DirectRunner>(m_idleLink);
}

void FrameTest::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void FrameTest::init()
{
    m_catcher.opened.clear();
    m_sheet = std::make_unique<TBPropertySheet>(m_documents, *m_idleRunner);
    m_main = std::make_unique<MainPage>(m_documents, *m_idleRunner);
    m_cell = std::make_unique<CellPage>(m_documents, *m_idleRunner);
    m_sheet->AddPage(m_main.get());
    m_sheet->AddPage(m_cell.get());
}

void FrameTest::cleanup()
{
    m_cell.reset();
    m_main.reset();
    m_sheet.reset();
    m_documents.FreeAll();
}

CAboutDlg* FrameTest::WaitForAbout()
{
    CAboutDlg* about = nullptr;
    (void)QTest::qWaitFor([&about] { return (about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) != nullptr; },
        5000);
    return about;
}

void FrameTest::windowHasTitleIconAndMinimizeButton()
{
    m_sheet->setWindowIcon(QApplication::windowIcon().isNull() ? QIcon() : QApplication::windowIcon());
    QCOMPARE(m_sheet->windowTitle(), QStringLiteral("Tervane Q7 Dashboard"));
    const Qt::WindowFlags flags = m_sheet->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(m_sheet->Tabs()->tabText(0), QStringLiteral("Device Information"));
    QCOMPARE(m_sheet->Tabs()->tabText(1), QStringLiteral("Mobile"));
}

void FrameTest::menuHoldsAboutAndMinimize()
{
    const QList<QAction*> actions = m_sheet->SystemMenu()->actions();
    QCOMPARE(actions.size(), 3);
    QVERIFY(actions[0]->isSeparator());
    QCOMPARE(actions[1]->text(), QStringLiteral("&About..."));
    QCOMPARE(actions[1]->shortcut(), QKeySequence(Qt::Key_F1));
    QCOMPARE(actions[2]->text(), QStringLiteral("Minimize"));
    QCOMPARE(actions[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
}

void FrameTest::contextMenuOnlyOnTheTabBar_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("pops");
    QTest::newRow("tab bar") << "tabs" << true;
    QTest::newRow("page background") << "page" << false;
    QTest::newRow("below the tabs, by the buttons") << "sheet" << false;
}

void FrameTest::contextMenuOnlyOnTheTabBar()
{
    QFETCH(QString, where);
    QFETCH(bool, pops);
    m_sheet->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_sheet.get()));
    QWidget* target = where == "tabs" ? static_cast<QWidget*>(m_sheet->Tabs()->tabBar())
        : where == "page"             ? static_cast<QWidget*>(m_sheet->GetPage(0))
                                      : static_cast<QWidget*>(m_sheet.get());
    const QPoint inside(5, 5);
    // The application hands the event on to the parents while no widget takes it, as it
    // does with a right click.
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside, target->mapToGlobal(inside));
    QApplication::sendEvent(target, &event);
    if (pops) {
        QTRY_VERIFY(m_sheet->SystemMenu()->isVisible());
        m_sheet->SystemMenu()->close();
    } else {
        QTest::qWait(50);
        QVERIFY(!m_sheet->SystemMenu()->isVisible());
    }
}

void FrameTest::minimizeAndRestoreKeepThePage()
{
    m_sheet->show();
    QApplication::setActiveWindow(m_sheet.get());
    QVERIFY(QTest::qWaitForWindowActive(m_sheet.get()));
    QVERIFY(m_sheet->SetActivePage(1));
    QTest::keyClick(m_sheet.get(), Qt::Key_M, Qt::ControlModifier);
    QTRY_VERIFY(m_sheet->windowState().testFlag(Qt::WindowMinimized));
    m_sheet->showNormal();
    QTRY_VERIFY(!m_sheet->windowState().testFlag(Qt::WindowMinimized));
    QCOMPARE(m_sheet->GetActiveIndex(), 1);
    QCOMPARE(m_sheet->Tabs()->currentIndex(), 1);
}

void FrameTest::aboutFromTheKeyboardReturnsToTheSameSheet()
{
    m_sheet->show();
    QApplication::setActiveWindow(m_sheet.get());
    QVERIFY(QTest::qWaitForWindowActive(m_sheet.get()));
    QVERIFY(m_sheet->SetActivePage(1));
    QString title;
    bool owned = true;
    QTimer::singleShot(0, this, [&] {
        CAboutDlg* about = WaitForAbout();
        if (about == nullptr)
            return;
        title = about->windowTitle();
        owned = about->parentWidget() != nullptr;
        about->accept();
    });
    QTest::keyClick(m_sheet.get(), Qt::Key_F1);
    QCOMPARE(title, QStringLiteral("About Tervane Q7 Dashboard"));
    QVERIFY(!owned);
    QVERIFY(m_sheet->isVisible());
    QCOMPARE(m_sheet->GetActiveIndex(), 1);
}

void FrameTest::applyMessagesReachTheDevice()
{
    sim::SimulatedQ7 device;
    // The settings need 20 s to take effect; this clock lets the wait pass quickly.
    FastClock clock(1000);
    SerialLink link(clock);
    QVERIFY(test::StartAndOpen(device, link));
    DirectRunner runner(link);
    DeviceFacts facts;
    QVERIFY(QueryDevice(facts, m_documents, runner));
    TBPropertySheet sheet(m_documents, runner);

    SetElementText(ResolvePath(m_documents.SettingsRoot(), "mobile_simple/apn"), "applied.example");
    QCOMPARE(sheet.SendMessage(WM_APPLY_SETTINGS), 0L);
    QCOMPARE(device.Setting("mobile_simple/apn").value_or(""), std::string("applied.example"));

    SetElementText(ResolvePath(m_documents.RadioSettingsRoot(), "radio/node_id"), "7");
    device.ClearReceivedCommands();
    QCOMPARE(sheet.SendMessage(WM_APPLY_RADIO_SETTINGS), 0L);
    QCOMPARE(device.RadioSetting("radio/node_id").value_or(""), std::string("7"));
    // Both documents were read back from the device.
    const XmlString apn(xmlNodeGetContent(ResolvePath(m_documents.SettingsRoot(), "mobile_simple/apn")));
    QCOMPARE(QString::fromUtf8(reinterpret_cast<const char*>(apn.get())), QStringLiteral("applied.example"));
    QVERIFY(ResolvePath(m_documents.RadioSettingsRoot(), "radio/node_id") != nullptr);
}

void FrameTest::closingWithUnappliedChangesAsks_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("closes");
    for (const char* how : {"Cancel", "Escape", "close box"}) {
        QTest::addRow("%s, nothing changed", how) << how << false << QMessageBox::NoButton << true;
        QTest::addRow("%s, changes discarded", how) << how << true << QMessageBox::Discard << true;
        QTest::addRow("%s, changes kept", how) << how << true << QMessageBox::Cancel << false;
    }
}

void FrameTest::closingWithUnappliedChangesAsks()
{
    QFETCH(QString, how);
    QFETCH(bool, changed);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, closes);
    MessageBox::clearHistory();
    if (answer != QMessageBox::NoButton)
        MessageBox::setNextAnswer(answer);
    m_sheet->show();
    QApplication::setActiveWindow(m_sheet.get());
    QVERIFY(QTest::qWaitForWindowActive(m_sheet.get()));
    QVERIFY(m_sheet->SetActivePage(1));
    if (changed)
        m_cell->SetModified(true);

    if (how == "Cancel")
        QTest::mouseClick(m_sheet->CancelButton(), Qt::LeftButton);
    else if (how == "Escape")
        QTest::keyClick(m_sheet.get(), Qt::Key_Escape);
    else
        QVERIFY(m_sheet->close() == closes);

    QCOMPARE(m_sheet->isVisible(), !closes);
    QCOMPARE(MessageBox::history().size(), changed ? 1 : 0);
    if (changed) {
        const MessageBoxRequest& question = MessageBox::history().front();
        QCOMPARE(question.owner, static_cast<QWidget*>(m_sheet.get()));
        QCOMPARE(question.caption, QStringLiteral("Tervane Q7 Dashboard"));
        QVERIFY(question.text.contains(QStringLiteral("Mobile")));
        QVERIFY(!question.text.contains(QStringLiteral("Device Information")));
        QCOMPARE(question.buttons, QMessageBox::Discard | QMessageBox::Cancel);
        // Keeping the changes is what Enter does.
        QCOMPARE(question.defaultButton, QMessageBox::Cancel);
    }
    // The changes are still there to apply when the window stays.
    if (!closes)
        QVERIFY(m_sheet->IsApplyEnabled());
    MessageBox::clearHistory();
}

void FrameTest::statusBarShowsTheLink()
{
    SerialLink link;
    link.SetPortName("/dev/ttyQ7test");
    LinkStatus status(link);
    m_sheet->SetLinkStatus(&status);
    QStatusBar* bar = m_sheet->StatusBar();
    // Under the tabs, above the buttons.
    m_sheet->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_sheet.get()));
    QVERIFY(bar->isVisible());
    QVERIFY(bar->geometry().top() >= m_sheet->Tabs()->geometry().bottom());
    QVERIFY(bar->geometry().bottom() <= m_sheet->OkButton()->mapTo(m_sheet.get(), QPoint(0, 0)).y());

    // Named like the lamps: what each part is, and what it shows.
    const auto check = [&](QLabel* label, const QString& name, const QString& text) {
        QCOMPARE(label->accessibleName(), name);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->accessibleDescription(), text);
        QCOMPARE(label->toolTip(), text);
    };
    status.SetConnected(true);
    check(m_sheet->PortLabel(), QStringLiteral("Port"), QStringLiteral("/dev/ttyQ7test"));
    check(m_sheet->ConnectionLabel(), QStringLiteral("Connection"), QStringLiteral("Connected"));
    check(m_sheet->LastReadLabel(), QStringLiteral("Last read"), QStringLiteral("Not read yet"));

    // The link's reports come from the worker's thread and reach the bar through the loop.
    status.WaitingForDevice(12001);
    QTRY_COMPARE(m_sheet->ConnectionLabel()->text(), QStringLiteral("Waiting for the device (13 s left)"));
    check(m_sheet->ConnectionLabel(), QStringLiteral("Connection"),
        QStringLiteral("Waiting for the device (13 s left)"));
    status.DeviceNotConnected();
    QTRY_COMPARE(m_sheet->ConnectionLabel()->text(), QStringLiteral("Not connected"));
    status.DeviceAnswered();
    QTRY_COMPARE(m_sheet->ConnectionLabel()->text(), QStringLiteral("Connected"));
    QVERIFY(status.LastAnswer().isValid());
    check(m_sheet->LastReadLabel(), QStringLiteral("Last read"),
        QStringLiteral("Last read %1").arg(status.LastAnswer().time().toString(Qt::ISODate)));
    m_sheet->SetLinkStatus(nullptr);
}

void FrameTest::remembersSizePlaceAndPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("expected");
    QTest::newRow("the page last used") << "CellPage" << 1;
    QTest::newRow("a page this run has not") << "RavloPage" << 0;
}

void FrameTest::remembersSizePlaceAndPage()
{
    QFETCH(QString, page);
    QFETCH(int, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QSettings settings(dir.filePath(QStringLiteral("window.ini")), QSettings::IniFormat);
    m_sheet->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_sheet.get()));
    m_sheet->resize(m_sheet->minimumSizeHint() + QSize(40, 30));
    QTRY_COMPARE(m_sheet->size(), m_sheet->minimumSizeHint() + QSize(40, 30));
    QVERIFY(m_sheet->SetActivePage(1));
    m_sheet->SaveWindowState(settings);
    const QSize size = m_sheet->size();
    QCOMPARE(settings.value(QStringLiteral("window/page")).toString(), QStringLiteral("CellPage"));
    settings.setValue(QStringLiteral("window/page"), page);

    // The next run's window, before it opens.
    cleanup();
    init();
    m_sheet->RestoreWindowState(settings);
    m_sheet->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_sheet.get()));
    QCOMPARE(m_sheet->size(), size);
    QCOMPARE(m_sheet->GetActiveIndex(), expected);
}

void FrameTest::aboutBoxTexts()
{
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Tervane Q7 Dashboard"));
    QCOMPARE(about.Label(CAboutDlg::IDC_TITLE)->text(), QStringLiteral("Tervane Q7 Dashboard"));
    QVERIFY(about.Label(CAboutDlg::IDC_TITLE)->font().bold());
    QVERIFY(!about.Label(CAboutDlg::IDC_VERSION)->font().bold());
    QCOMPARE(about.Label(CAboutDlg::IDC_VERSION)->text(), QStringLiteral("Version 1.0.22.0"));
    QCOMPARE(about.Label(CAboutDlg::IDC_LEGAL_NOTICE)->text(), QString::fromUtf8(kMakerLegalNotice));
    QCOMPARE(about.Label(CAboutDlg::IDC_VISIT_US)->text(), QStringLiteral("Visit us at"));
    QCOMPARE(about.Link()->text(), QStringLiteral("https://www.skellin.example/"));
    QVERIFY(about.Link()->NotifyMode());
    QVERIFY(!about.Link()->isHidden());
    QVERIFY(!about.Label(CAboutDlg::IDC_VISIT_US)->isHidden());
}

void FrameTest::aboutBoxWithoutAddressHidesTheLink()
{
    CAboutDlg about(nullptr, QString());
    QVERIFY(about.Link()->isHidden());
    QVERIFY(!about.Link()->isEnabled());
    QVERIFY(about.Label(CAboutDlg::IDC_VISIT_US)->isHidden());
    QVERIFY(!about.Link()->NotifyMode());
    about.show();
    about.Link()->setEnabled(true);
    about.Link()->setFocus();
    QTest::keyClick(about.Link(), Qt::Key_Space);
    about.OnLinkClicked(CAboutDlg::IDC_LINK);
    QVERIFY(m_catcher.opened.isEmpty());
}

void FrameTest::linkColourTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("purple") << "128,0,128" << true << QColor(128, 0, 128);
    QTest::newRow("blue") << "0,0,255" << true << QColor(0, 0, 255);
    QTest::newRow("two numbers") << "0,0" << false << QColor();
    QTest::newRow("four numbers") << "0,0,255,7" << false << QColor();
    QTest::newRow("leading comma") << ",0,255" << false << QColor();
    QTest::newRow("empty green") << "0,,255" << false << QColor();
    QTest::newRow("empty") << "" << false << QColor();
    QTest::newRow("low 8 bits of 300") << "300,0,0" << true << QColor(44, 0, 0);
    QTest::newRow("minus one is 255") << "-1,0,0" << true << QColor(255, 0, 0);
    QTest::newRow("blanks before numbers") << " 10, 20, 30" << true << QColor(10, 20, 30);
    QTest::newRow("words read as 0") << "red,green,blue" << true << QColor(0, 0, 0);
    QTest::newRow("empty blue") << "1,2," << true << QColor(1, 2, 0);
    QTest::newRow("too long for the buffer") << QString(77, u'0') + ",1,2" << false << QColor();
    QTest::newRow("just fits the buffer") << QString(74, u'0') + "1,2,3" << true << QColor(1, 2, 3);
}

void FrameTest::linkColourTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QColor, colour);
    const std::optional<QColor> parsed = ParseLinkColour(text.toStdString());
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, colour);
    const QColor fallback(1, 2, 3);
    QCOMPARE(LinkColour(text.toStdString(), fallback), valid ? colour : fallback);
}

void FrameTest::linkColoursDefaultToTheDesktop()
{
    CHyperLink plain;
    QCOMPARE(plain.NormalColour(), QApplication::palette().color(QPalette::Active, QPalette::Link));
    QCOMPARE(plain.HoverColour(), QColor(255, 0, 0));
    CHyperLink set(nullptr, std::string("128,0,128"), std::string("0,0"));
    QCOMPARE(set.NormalColour(), QColor(128, 0, 128));
    QCOMPARE(set.HoverColour(), QColor(255, 0, 0));
    QCOMPARE(set.palette().color(QPalette::WindowText), QColor(128, 0, 128));
}

void FrameTest::hoverUnderlinesAndRecolours()
{
    CAboutDlg about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    CHyperLink* link = about.Link();
    QVERIFY(!link->font().underline());
    QEnterEvent enter(QPointF(2, 2), link->mapToGlobal(QPointF(2, 2)), link->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(link, &enter);
    QVERIFY(link->IsHover());
    QVERIFY(link->font().underline());
    QCOMPARE(link->palette().color(QPalette::WindowText), link->HoverColour());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    QVERIFY(!link->IsHover());
    QVERIFY(!link->font().underline());
    QCOMPARE(link->palette().color(QPalette::WindowText), link->NormalColour());
}

void FrameTest::clickAndSpaceOpenTheAddress()
{
    CAboutDlg about;
    about.show();
    QApplication::setActiveWindow(&about);
    QVERIFY(QTest::qWaitForWindowActive(&about));
    CHyperLink* link = about.Link();
    QEnterEvent enter(QPointF(2, 2), link->mapToGlobal(QPointF(2, 2)), link->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(link, &enter);
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, link->height() / 2));
    QCOMPARE(m_catcher.opened, QList<QUrl>{QUrl(QStringLiteral("https://www.skellin.example/"))});
    QVERIFY(!link->IsHover());
    QVERIFY(!link->font().underline());

    link->setFocus();
    QVERIFY(link->hasFocus());
    QTest::keyClick(link, Qt::Key_Space);
    QCOMPARE(m_catcher.opened.size(), 2);
    QTest::keyClick(link, Qt::Key_Return);
    QCOMPARE(m_catcher.opened.size(), 2);
}

void FrameTest::aboutBoxScreenshot()
{
    CAboutDlg about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QVERIFY(about.grab().save(QStringLiteral(TERVANE_SCREENSHOT_DIR "/about-box.png")));
}

QTEST_MAIN(FrameTest)
#include "FrameTest.moc"
