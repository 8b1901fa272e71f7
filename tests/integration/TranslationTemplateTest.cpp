// The translation template the build writes: the window's texts as its sources, byte for
// byte, each under the context that looks it up; and a translation, compiled by the build
// from a file, changing the window without a change to its code.

#include "DeviceRunner.h"
#include "RciDocuments.h"
#include "SerialLink.h"
#include "UtilsPage.h"

#include <QAccessible>
#include <QFile>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

// A <source> element's text; lupdate writes a control character as <byte value="xd"/>.
QString SourceText(QXmlStreamReader& reader)
{
    QString text;
    while (reader.readNext() != QXmlStreamReader::EndElement || reader.name() != u"source") {
        if (reader.isCharacters())
            text += reader.text();
        else if (reader.isStartElement() && reader.name() == u"byte")
            text += QChar(reader.attributes().value(QStringLiteral("value")).mid(1).toUShort(nullptr, 16));
        else if (reader.hasError())
            break;
    }
    return text;
}

} // namespace

using namespace tervane;

class TranslationTemplateTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void holdsTheText_data();
    void holdsTheText();
    void translationChangesTheWindow();

private:
    // "context|source" of every message.
    QSet<QString> m_messages;
};

void TranslationTemplateTest::initTestCase()
{
    QFile file(QStringLiteral(TERVANE_TS_TEMPLATE));
    QVERIFY2(file.open(QIODevice::ReadOnly), TERVANE_TS_TEMPLATE);
    QXmlStreamReader reader(&file);
    QString context;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"name")
            context = reader.readElementText();
        else if (reader.isStartElement() && reader.name() == u"source")
            m_messages.insert(context + u'|' + SourceText(reader));
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QVERIFY(!m_messages.isEmpty());
}

void TranslationTemplateTest::holdsTheText_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::newRow("tab caption") << "tervane::MainPage"
                                 << "Device Information";
    QTest::newRow("caption in a table") << "tervane::SerialPage"
                                        << "Baud Rate";
    QTest::newRow("blank at the end") << "tervane::DravexPage"
                                      << "Retry if the LKA update fails";
    QTest::newRow("spelling kept") << "tervane::DravexPage"
                                   << "Rety after:";
    QTest::newRow("CR LF inside") << "tervane::UtilsPage"
                                  << "The reboot process will take approximately 10 seconds to complete.\r\nClick "
                                     "Reboot now to reboot the device.";
    QTest::newRow("accessible name") << "tervane::UtilsPage"
                                     << "Restore factory defaults";
    QTest::newRow("lamp meaning") << "tervane::MainPage"
                                  << "Signal %1 (%2 dBm): %3 of %4 bars";
    QTest::newRow("start-up box") << "tervane::CTolbrinApp"
                                  << "Unable to detect the Skellin Q7. Please verify that it is powered and connected "
                                     "to your computer with the supplied USB cable.";
    QTest::newRow("procedure message") << "tervane::ProcedureQuestions"
                                       << "You must select the firmware file to update.";
    QTest::newRow("radio setting check") << "tervane::RadioSettingChecks"
                                         << "Scan Duration must be between 0 and 7";
    QTest::newRow("progress dialog") << "tervane::USBDialog"
                                     << "Communicating with device...";
}

void TranslationTemplateTest::holdsTheText()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QVERIFY2(m_messages.contains(context + u'|' + source), qPrintable(context + u'|' + source));
}

void TranslationTemplateTest::translationChangesTheWindow()
{
    QTranslator german;
    QVERIFY(german.load(QStringLiteral("tervane-q7-dashboard_de"), QStringLiteral(TERVANE_TEST_QM_DIR)));
    QVERIFY(QCoreApplication::installTranslator(&german));
    SerialLink idleLink;
    DirectRunner runner(idleLink);
    RciDocuments documents;
    UtilsPage page(documents, runner);
    QCoreApplication::removeTranslator(&german);

    QCOMPARE(page.Caption(), QStringLiteral("Werkzeuge"));
    QWidget* defaults = page.GetDlgItem(UtilsPage::IDC_RESTORE_DEFAULTS);
    QCOMPARE(QAccessible::queryAccessibleInterface(defaults)->text(QAccessible::Name),
        QStringLiteral("Werkseinstellungen wiederherstellen"));
    // A text the translation leaves out stays in English.
    QCOMPARE(page.GetDlgItemText(UtilsPage::IDC_RESTORE_DEFAULTS), QStringLiteral("Restore"));
}

QTEST_MAIN(TranslationTemplateTest)
#include "TranslationTemplateTest.moc"
