#include "ComSearch.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <string>
#include <vector>

using tervane::ComSearch;

namespace {

using Ports = std::vector<std::string>;

// Set when a dialog outlived what the user did to it by far; it is then closed so the test
// fails instead of hanging.
bool dialogStuck = false;

// Acts on the dialog once its modal loop runs.
void WhenShown(std::function<void(ComSearch&)> act)
{
    dialogStuck = false;
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* dialog = qobject_cast<ComSearch*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        act(*dialog);
        QTimer::singleShot(5000, dialog, [dialog] {
            dialogStuck = true;
            dialog->done(QDialog::Rejected);
        });
    });
    timer->start();
}

QStringList Items(QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

Q_DECLARE_METATYPE(Ports)
Q_DECLARE_METATYPE(std::function<void(ComSearch&)>)

class ComSearchTest : public QObject {
    Q_OBJECT

private slots:
    void showsItsTexts()
    {
        ComSearch dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select Product to configure"));
        auto* message = dialog.findChild<QLabel*>("message");
        QVERIFY(message);
        QCOMPARE(message->text(),
            QStringLiteral("Found multiple supported products.  Please select the one you would like to configure"));
        auto* box = dialog.findChild<QComboBox*>("portBox");
        QVERIFY(box);
        QVERIFY(box->isEditable());
        const auto buttons = dialog.findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.front()->objectName(), QStringLiteral("okButton"));
        QVERIFY(dialog.Selection().empty());
    }

    void listsSortedWithFirstSelected_data()
    {
        QTest::addColumn<Ports>("ports");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("COM3 and COM10") << Ports{"COM3", "COM10"} << QStringList{"COM10", "COM3"};
        QTest::newRow("tty paths in found order")
            << Ports{"/dev/ttyACM2", "/dev/ttyACM10", "/dev/ttyACM0"}
            << QStringList{"/dev/ttyACM0", "/dev/ttyACM10", "/dev/ttyACM2"};
    }

    void listsSortedWithFirstSelected()
    {
        QFETCH(Ports, ports);
        QFETCH(QStringList, shown);
        ComSearch dialog;
        dialog.SetPortList(ports);
        auto* box = dialog.findChild<QComboBox*>("portBox");
        QCOMPARE(Items(box), shown);
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(box->currentText(), shown.front());
        QCOMPARE(dialog.PortList(), ports);
    }

    void choosing_data()
    {
        QTest::addColumn<std::function<void(ComSearch&)>>("user");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("OK on the preselected port") << std::function<void(ComSearch&)>([](ComSearch& d) {
            QTest::mouseClick(d.findChild<QPushButton*>("okButton"), Qt::LeftButton);
        }) << "COM10";
        QTest::newRow("another entry picked") << std::function<void(ComSearch&)>([](ComSearch& d) {
            d.findChild<QComboBox*>("portBox")->setCurrentIndex(1);
            QTest::mouseClick(d.findChild<QPushButton*>("okButton"), Qt::LeftButton);
        }) << "COM3";
        QTest::newRow("typed name, OK") << std::function<void(ComSearch&)>([](ComSearch& d) {
            QLineEdit* edit = d.findChild<QComboBox*>("portBox")->lineEdit();
            edit->clear();
            QTest::keyClicks(edit, "COM7");
            QTest::mouseClick(d.findChild<QPushButton*>("okButton"), Qt::LeftButton);
        }) << "COM7";
        QTest::newRow("typed name, Enter") << std::function<void(ComSearch&)>([](ComSearch& d) {
            QLineEdit* edit = d.findChild<QComboBox*>("portBox")->lineEdit();
            edit->clear();
            QTest::keyClicks(edit, "/dev/ttyUSB4");
            QTest::keyClick(edit, Qt::Key_Return);
        }) << "/dev/ttyUSB4";
        QTest::newRow("Escape") << std::function<void(ComSearch&)>([](ComSearch& d) {
            QTest::keyClick(&d, Qt::Key_Escape);
        }) << "";
        QTest::newRow("close box") << std::function<void(ComSearch&)>([](ComSearch& d) { d.close(); }) << "";
    }

    void choosing()
    {
        QFETCH(std::function<void(ComSearch&)>, user);
        QFETCH(QString, chosen);
        WhenShown(user);
        const std::string selection = tervane::ChoosePortWithComSearch({"COM3", "COM10"});
        QVERIFY(!dialogStuck);
        QCOMPARE(QString::fromStdString(selection), chosen);
    }
};

QTEST_MAIN(ComSearchTest)
#include "ComSearchTest.moc"
