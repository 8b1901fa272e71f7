// The dashboard's whole window against the simulated device: what a screen reader hears,
// and how the window fits a small screen at large font sizes. Run under Xvfb on a
// 1024x768 screen at 96 and 144 dpi (QT_FONT_DPI); each run saves pictures of the window.

#include "AppImages.h"
#include "CTolbrinApp.h"
#include "Captions.h"
#include "Clock.h"
#include "DeviceQuery.h"
#include "DeviceRunner.h"
#include "LinkStatus.h"
#include "MainPage.h"
#include "PropertyPage.h"
#include "RciDocuments.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SignalView.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"
#include "TBPropertySheet.h"
#include "UtilsPage.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>
#include <vector>

using namespace tervane;

namespace {

QString AccessibleText(QWidget* widget, QAccessible::Text which)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible != nullptr ? accessible->text(which) : QString();
}

// Relative luminance of a colour, as the contrast ratio of WCAG uses it.
double Luminance(QColor colour)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

// The dots per inch of this run, for the pictures' names: QT_FONT_DPI above 96 shows as a
// device pixel ratio, the window keeping its size in device-independent pixels.
QString DpiName()
{
    return QStringLiteral("%1dpi").arg(qRound(96 * QGuiApplication::primaryScreen()->devicePixelRatio()));
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void everyControlHasAName();
    void buttonsAreToldApart();
    void accessKeysOnEveryPage();
    void lampsSayWhatTheyShow();
    void unlitLampDiffersInBrightness();
    void windowFitsTheScreen();
    void tallPagesScroll();
    void signalViewFitsAndIsNamed();

private:
    QList<QWidget*> ControlsOf(PropertyPage* page);

    std::unique_ptr<sim::SimulatedQ7> m_device;
    FastClock m_clock {1000};
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<DirectRunner> m_runner;
    std::unique_ptr<LinkStatus> m_linkStatus;
    RciDocuments m_documents;
    std::unique_ptr<TBPropertySheet> m_sheet;
    std::vector<std::unique_ptr<PropertyPage>> m_pages;
};

void WindowTest::initTestCase()
{
    InitXmlLibrary();
    m_device = std::make_unique<sim::SimulatedQ7>(test::FastRestarts());
    test::HoldDuringRestarts(m_clock, *m_device);
    m_link = std::make_unique<SerialLink>(m_clock);
    QVERIFY(test::StartAndOpen(*m_device, *m_link));
    m_runner = std::make_unique<DirectRunner>(*m_link);
    m_documents.SetRadioPageFlag(true);

    m_linkStatus = std::make_unique<LinkStatus>(*m_link);
    m_linkStatus->SetConnected(true);
    m_sheet = std::make_unique<TBPropertySheet>(m_documents, *m_runner);
    m_sheet->SetLinkStatus(m_linkStatus.get());
    m_pages = CTolbrinApp::CreatePages(m_documents, *m_runner);
    auto* main = static_cast<MainPage*>(m_pages[CTolbrinApp::kMainPageIndex].get());
    main->SetStatus(QStringLiteral("Connected (%1)").arg(QString::fromStdString(m_device->PortPath())));
    QVERIFY(main->QueryDevice());
    // The status bar as the query leaves it: connected, with the time of the last answer.
    QTRY_VERIFY(m_linkStatus->LastAnswer().isValid());
    for (const auto& page : m_pages)
        m_sheet->AddPage(page.get());
    m_sheet->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_sheet.get()));
    // Every page once in front, so each has built its window.
    for (int i = m_sheet->GetPageCount() - 1; i >= 0; --i)
        QVERIFY(m_sheet->SetActivePage(i));
    QAccessible::setActive(true);
}

void WindowTest::cleanupTestCase()
{
    m_pages.clear();
    m_sheet.reset();
    m_linkStatus.reset();
    m_documents.FreeAll();
    m_runner.reset();
    m_link.reset();
    m_device.reset();
}

// The page's controls a person reaches: those taking the keyboard focus, and the lamps.
QList<QWidget*> WindowTest::ControlsOf(PropertyPage* page)
{
    QList<QWidget*> controls;
    for (QWidget* widget : page->findChildren<QWidget*>()) {
        const bool focusable = (widget->focusPolicy() & Qt::TabFocus) != 0 && widget->focusProxy() == nullptr;
        const bool lamp = widget->objectName().contains(QStringLiteral("Lamp"));
        if ((focusable || lamp) && !widget->isWindow() && widget->parentWidget() != nullptr &&
            !qobject_cast<QScrollArea*>(widget->parentWidget()->parentWidget()))
            controls.append(widget);
    }
    return controls;
}

void WindowTest::everyControlHasAName()
{
    for (int i = 0; i < m_sheet->GetPageCount(); ++i) {
        PropertyPage* page = m_sheet->GetPage(i);
        for (QWidget* control : ControlsOf(page)) {
            // Inner parts of a control (a list's viewport) speak for the control.
            if (control->parentWidget() != page && !control->parentWidget()->inherits("QGroupBox") &&
                control->parentWidget()->parentWidget() != nullptr &&
                control->parentWidget()->parentWidget()->inherits("QAbstractScrollArea"))
                continue;
            QVERIFY2(!AccessibleText(control, QAccessible::Name).trimmed().isEmpty(),
                qPrintable(page->Caption() + QStringLiteral(": ") +
                    QString::fromLatin1(control->metaObject()->className()) + QStringLiteral(" ") +
                    control->objectName()));
        }
    }
}

void WindowTest::buttonsAreToldApart()
{
    for (int i = 0; i < m_sheet->GetPageCount(); ++i) {
        PropertyPage* page = m_sheet->GetPage(i);
        QStringList names;
        for (QPushButton* button : page->findChildren<QPushButton*>()) {
            const QString name = AccessibleText(button, QAccessible::Name);
            QVERIFY2(!names.contains(name), qPrintable(page->Caption() + QStringLiteral(": ") + name));
            names.append(name);
        }
    }
    auto* utilities = static_cast<UtilsPage*>(m_pages.back().get());
    QCOMPARE(AccessibleText(utilities->GetDlgItem(UtilsPage::IDC_RESTORE_CONFIG), QAccessible::Name),
        QStringLiteral("Restore settings from file"));
    QCOMPARE(AccessibleText(utilities->GetDlgItem(UtilsPage::IDC_RESTORE_DEFAULTS), QAccessible::Name),
        QStringLiteral("Restore factory defaults"));
    QCOMPARE(utilities->GetDlgItemText(UtilsPage::IDC_RESTORE_DEFAULTS).remove(u'&'), QStringLiteral("Restore"));
}

void WindowTest::accessKeysOnEveryPage()
{
    // Every caption of a field and every button has a key of its own on its page, apart from
    // those of OK, Cancel and Apply; the captions keep their letters.
    QString sheetKeys;
    for (QPushButton* button : {m_sheet->OkButton(), m_sheet->CancelButton(), m_sheet->ApplyButton()})
        if (const QChar key = AccessKeyOf(button->text()); !key.isNull())
            sheetKeys.append(key);
    for (int i = 0; i < m_sheet->GetPageCount(); ++i) {
        PropertyPage* page = m_sheet->GetPage(i);
        QString keys = sheetKeys;
        int captions = 0;
        const auto check = [&](QWidget* widget, const QString& text) {
            const QString where = page->Caption() + QStringLiteral(": ") + text;
            const QChar key = AccessKeyOf(text);
            QVERIFY2(!key.isNull(), qPrintable(where));
            QVERIFY2(!keys.contains(key), qPrintable(where + QStringLiteral(" shares its key")));
            keys.append(key);
            QCOMPARE(text.count(u'&'), 1);
            // A screen reader hears the caption without the marker.
            QCOMPARE(AccessibleText(widget, QAccessible::Name).isEmpty(), false);
        };
        for (QLabel* label : page->findChildren<QLabel*>())
            if (label->buddy() != nullptr) {
                check(label, label->text());
                ++captions;
            }
        for (QAbstractButton* button : page->findChildren<QAbstractButton*>())
            if (!button->text().isEmpty())
                check(button, button->text());
        if (page->objectName() == QStringLiteral("MainPage"))
            QVERIFY(captions >= 9);
    }
    // The Device Information page's captions, with their keys.
    auto* main = m_pages[CTolbrinApp::kMainPageIndex].get();
    auto* refresh = main->findChild<QPushButton*>(QStringLiteral("refresh"));
    QCOMPARE(refresh->text().remove(u'&'), QStringLiteral("Refresh"));
    QCOMPARE(AccessibleText(refresh, QAccessible::Name), QStringLiteral("Refresh"));
}

void WindowTest::lampsSayWhatTheyShow()
{
    auto* main = static_cast<MainPage*>(m_pages[CTolbrinApp::kMainPageIndex].get());
    QVERIFY(m_sheet->SetActivePage(main));
    const int quality = main->SignalQuality();
    const SignalLamps lamps = SignalLampsFor(quality, main->Fields().Text(MainPage::IDC_PRODUCT));
    const QString signal = QStringLiteral("Signal %1 (%2 dBm): %3 of %4 bars")
                               .arg(quality)
                               .arg(2 * quality - 113)
                               .arg(lamps.lit)
                               .arg(lamps.shown);
    for (int k = 0; k < MainPage::kSignalLampCount; ++k) {
        QWidget* lamp = main->GetDlgItem(MainPage::IDC_SIGNAL_LAMP1 + k);
        QCOMPARE(AccessibleText(lamp, QAccessible::Description), signal);
        QCOMPARE(lamp->toolTip(), signal);
        QCOMPARE(AccessibleText(lamp, QAccessible::Name), QStringLiteral("Signal strength bar %1").arg(k + 1));
    }
    QWidget* link = main->GetDlgItem(MainPage::IDC_LINK_LAMP);
    QCOMPARE(AccessibleText(link, QAccessible::Description),
        main->IsLinkLampLit() ? QStringLiteral("Link up") : QStringLiteral("Link down"));
    QCOMPARE(link->toolTip(), AccessibleText(link, QAccessible::Description));
}

void WindowTest::unlitLampDiffersInBrightness()
{
    const QImage lit = LampImage(true).toImage();
    const QImage unlit = LampImage(false).toImage();
    // The lamp's body, away from the rim and the highlight.
    const QPoint body(10, 10);
    const double bright = Luminance(lit.pixelColor(body));
    const double dark = Luminance(unlit.pixelColor(body));
    QVERIFY2((bright + 0.05) / (dark + 0.05) >= 3.0, qPrintable(QString::number((bright + 0.05) / (dark + 0.05))));
}

void WindowTest::windowFitsTheScreen()
{
    // Sizes in the screen's own pixels.
    const qreal ratio = m_sheet->devicePixelRatioF();
    const QRect screen = m_sheet->screen()->availableGeometry();
    const QSize frame = m_sheet->frameGeometry().size() - m_sheet->size();
    // The smallest the window can be fits a 1024x768 screen, OK and Cancel included.
    const QSize smallest = (m_sheet->minimumSizeHint() + frame) * ratio;
    qInfo("%s: smallest window %dx%d, opened at %dx%d device pixels", qPrintable(DpiName()), smallest.width(),
        smallest.height(), qRound(m_sheet->width() * ratio), qRound(m_sheet->height() * ratio));
    QVERIFY2(smallest.width() <= 1024 && smallest.height() <= 768,
        qPrintable(QStringLiteral("%1x%2").arg(smallest.width()).arg(smallest.height())));
    // As opened, the window lies on the screen.
    QVERIFY2(m_sheet->width() + frame.width() <= screen.width() &&
            m_sheet->height() + frame.height() <= screen.height(),
        qPrintable(QStringLiteral("%1x%2 on %3x%4")
                       .arg(m_sheet->width())
                       .arg(m_sheet->height())
                       .arg(screen.width())
                       .arg(screen.height())));
    // In the screen's own pixels too: 683 device-independent pixels at 1.5 are 1025.
    QVERIFY2(m_sheet->frameGeometry().width() * ratio <= 1024.0 && m_sheet->frameGeometry().height() * ratio <= 768.0,
        qPrintable(QStringLiteral("%1x%2 at %3")
                       .arg(m_sheet->frameGeometry().width())
                       .arg(m_sheet->frameGeometry().height())
                       .arg(ratio)));
    QVERIFY(m_sheet->OkButton()->isVisible());
    QVERIFY(m_sheet->CancelButton()->isVisible());
    // The status bar under the tabs, shown with the window.
    QVERIFY(m_sheet->StatusBar()->isVisible());
    QCOMPARE(m_sheet->ConnectionLabel()->text(), QStringLiteral("Connected"));
    QVERIFY(m_sheet->LastReadLabel()->text().startsWith(QStringLiteral("Last read ")));

    for (int i = 0; i < m_sheet->GetPageCount(); ++i) {
        QVERIFY(m_sheet->SetActivePage(i));
        const QString name = m_sheet->GetPage(i)->objectName();
        QVERIFY(m_sheet->grab().save(QStringLiteral(TERVANE_SCREENSHOT_DIR "/window-%1-%2.png").arg(DpiName(), name)));
    }
    QVERIFY(m_sheet->SetActivePage(0));
}

void WindowTest::tallPagesScroll()
{
    // Squeezed below every page's own height, the window keeps its size and the pages scroll:
    // each page keeps at least its smallest size, inside its scroll area.
    m_sheet->resize(m_sheet->minimumSizeHint());
    QTRY_COMPARE(m_sheet->size(), m_sheet->minimumSizeHint());
    for (int i = 0; i < m_sheet->GetPageCount(); ++i) {
        QVERIFY(m_sheet->SetActivePage(i));
        PropertyPage* page = m_sheet->GetPage(i);
        QTRY_VERIFY(page->isVisible());
        QVERIFY2(page->height() >= page->minimumSizeHint().height(), qPrintable(page->Caption()));
        QVERIFY2(page->width() >= page->minimumSizeHint().width(), qPrintable(page->Caption()));
    }
}

void WindowTest::signalViewFitsAndIsNamed()
{
    auto* main = static_cast<MainPage*>(m_pages[CTolbrinApp::kMainPageIndex].get());
    QVERIFY(m_sheet->SetActivePage(main));
    // The picture's history is five minutes of an antenna turned through its best direction,
    // a reading every two seconds with two the modem could not tell; the device's own polls
    // are held off meanwhile, as during a batch.
    m_link->Turns().HoldPolls();
    QTest::mouseClick(main->findChild<QPushButton*>(QStringLiteral("watchSignal")), Qt::LeftButton);
    SignalView* view = main->SignalWatch();
    QVERIFY(view != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(view));
    const std::string product = main->Fields().Text(MainPage::IDC_PRODUCT);
    auto time = std::chrono::system_clock::now() - std::chrono::seconds(300);
    for (int i = 1; i <= 150; ++i) {
        SignalPollEvent event;
        time += std::chrono::seconds(2);
        event.time = time;
        const int quality = 7 + static_cast<int>(19 * std::exp(-std::pow((i - 100) / 24.0, 2))) + (i * 7 % 5) - 2;
        event.reading.answered = true;
        event.reading.registration = Registration::Home;
        event.reading.lampsShown = SignalLampsFor(0, product).shown;
        if (i != 40 && i != 41) {
            event.reading.known = true;
            event.reading.quality = quality;
            event.reading.levelDbm = 2 * quality - 113;
            event.reading.lampsLit = SignalLampsFor(quality, product).lit;
        }
        view->ShowEvent(event);
    }

    const qreal ratio = view->devicePixelRatioF();
    const QSize smallest = view->minimumSizeHint() * ratio;
    QVERIFY2(smallest.width() <= 1024 && smallest.height() <= 768,
        qPrintable(QStringLiteral("%1x%2").arg(smallest.width()).arg(smallest.height())));
    for (QWidget* widget : view->findChildren<QWidget*>()) {
        const bool focusable = (widget->focusPolicy() & Qt::TabFocus) != 0;
        if (focusable || widget->objectName().startsWith(QStringLiteral("bar")))
            QVERIFY2(!AccessibleText(widget, QAccessible::Name).trimmed().isEmpty(), qPrintable(widget->objectName()));
    }
    QVERIFY(view->grab().save(QStringLiteral(TERVANE_SCREENSHOT_DIR "/window-%1-SignalView.png").arg(DpiName())));
    m_link->Turns().ReleasePolls();
    // Once released, the device's own readings follow.
    const std::size_t shown = view->Session().Entries().size();
    QTRY_VERIFY_WITH_TIMEOUT(view->Session().Entries().size() > shown, 30000);
    QVERIFY(view->LevelText().endsWith(QStringLiteral(" dBm")));
    view->close();
}

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
