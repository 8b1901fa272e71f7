// The "Python" page driven as a person would, against the simulated device.
#include "PageSimFixture.h"
#include "PythonPage.h"
#include "RciRequests.h"
#include "SafeXml.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace tervane;
using namespace tervane::test;

// The name column's width on the simulated device: its longest name, "sensor_report.py".
constexpr std::size_t kWidest = 16;

class PythonPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitXmlLibrary(); }
    void init() { m_f = std::make_unique<PageSimFixture<PythonPage>>(kRestartClock); }
    void cleanup() { m_f.reset(); }

    void listsTheDevicesFiles();
    void browseThenUploadVerifiesAndRefreshes();
    void uploadMismatch_data();
    void uploadMismatch();
    void uploadWithoutPathSendsNothing();
    void downloadsTickedFilesAskingWhereForEach();
    void deleteRemovesTickedFilesAndRebuildsTheList();
    void longAndBlankNamesShowWholeAndAreActedOn();
    void listIsReadOnlyAfterUploadOrDelete();
    void applySendsTheAutoStartSettings();
    void unappliedAutoStartEditSurvivesFileActions();
    void autoStartFollowsTheSettingsOnReturn();

private:
    QTreeWidget* List() const { return m_f->Find<QTreeWidget>("fileList"); }
    QLineEdit* Edit(const char* name) const { return m_f->Find<QLineEdit>(name); }
    QStringList Texts() const;
    QStringList Ticked() const;
    QTreeWidgetItem* Item(const QString& name) const;
    // Ticks or unticks an item as a person does from the keyboard: make it current, press Space.
    void Tick(const QString& name);
    std::string SavedPath(const std::string& name) const { return m_f->dir + "/saved-" + name; }

    std::unique_ptr<PageSimFixture<PythonPage>> m_f;
};

QStringList PythonPageTest::Texts() const
{
    QStringList texts;
    for (int i = 0; i < List()->topLevelItemCount(); ++i)
        texts.append(List()->topLevelItem(i)->text(0));
    return texts;
}

QStringList PythonPageTest::Ticked() const
{
    QStringList names;
    for (int i = 0; i < List()->topLevelItemCount(); ++i) {
        if (List()->topLevelItem(i)->checkState(0) == Qt::Checked) {
            const QString text = List()->topLevelItem(i)->text(0);
            names.append(text.left(text.indexOf(QStringLiteral("    "))).trimmed());
        }
    }
    return names;
}

QTreeWidgetItem* PythonPageTest::Item(const QString& name) const
{
    for (int i = 0; i < List()->topLevelItemCount(); ++i) {
        if (List()->topLevelItem(i)->text(0).startsWith(name + u' '))
            return List()->topLevelItem(i);
    }
    return nullptr;
}

void PythonPageTest::Tick(const QString& name)
{
    QTreeWidgetItem* item = Item(name);
    QVERIFY2(item != nullptr, qPrintable(name));
    const Qt::CheckState before = item->checkState(0);
    List()->setFocus();
    List()->setCurrentItem(item);
    QTest::keyClick(List(), Qt::Key_Space);
    QVERIFY(item->checkState(0) != before);
}

void PythonPageTest::listsTheDevicesFiles()
{
    QVERIFY(m_f->Open(FastRestarts(), {}, DocumentsFrom::DeviceQuery));
    PythonFileList entries;
    for (const std::string& path : m_f->device->FilePaths()) {
        if (path.starts_with("/WEB/python/"))
            entries.push_back({path.substr(12), std::to_string(m_f->device->GetFile(path)->size())});
    }
    QStringList expected;
    for (const PythonFileEntry& entry : entries)
        expected.append(QString::fromStdString(FileListItemText(entry, FileListNameWidth(entries))));
    QCOMPARE(expected.size(), 3);
    QCOMPARE(Texts(), expected);
    // The name column is as wide as the longest name, the size follows after four blanks.
    const QString whole =
        QStringLiteral("sensor_report.py    %1").arg(m_f->device->GetFile("/WEB/python/sensor_report.py")->size());
    QVERIFY(Item(QStringLiteral("sensor_report.py"))->text(0).startsWith(whole));
    QVERIFY(Item(QStringLiteral("main.py"))->text(0).startsWith(QStringLiteral("main.py             ")));
    for (int i = 0; i < List()->topLevelItemCount(); ++i) {
        QVERIFY(List()->topLevelItem(i)->flags().testFlag(Qt::ItemIsUserCheckable));
        QCOMPARE(List()->topLevelItem(i)->checkState(0), Qt::Unchecked);
    }
    // Sized in points, so the list grows with the screen's scale like the rest of the window.
    QCOMPARE(List()->font().pixelSize(), -1);
    QCOMPARE(List()->font().pointSize(), 9);
    // The auto-start settings as the device holds them.
    QCOMPARE(m_f->Find<QCheckBox>("autoStartEnable")->isChecked(), m_f->device->Setting("python/state") == "on");
    QCOMPARE(Edit("autoStartCommand")->text(), QString::fromStdString(*m_f->device->Setting("python/command")));
    QVERIFY(!m_f->page->IsModified());
    Tick(QStringLiteral("main.py"));
    QVERIFY(m_f->SaveScreenshot(QStringLiteral("PythonPage.png")));
}

void PythonPageTest::browseThenUploadVerifiesAndRefreshes()
{
    QVERIFY(m_f->Open());
    const std::string bytes = "import time\nprint('blink')\n" + Pattern(3000);
    const QString path = QString::fromStdString(m_f->LocalFile("blink.py", bytes));
    FileDialog::setAnswerer([&](const FileDialogRequest&) { return std::optional<QString>(path); });
    m_f->Click("browsePython");
    QCOMPARE(Edit("uploadPath")->text(), path);
    const FileDialogRequest browse = FileDialog::history().constFirst();
    QCOMPARE(browse.mode, FileDialogRequest::Mode::Open);
    QCOMPARE(browse.defaultSuffix, QStringLiteral("py"));
    QCOMPARE(browse.nameFilters, QStringList{QStringLiteral("*.py (*)")});
    QVERIFY(browse.initialName.isEmpty());
    Tick(QStringLiteral("xbee.py"));

    m_f->Click("upload");

    QVERIFY(MessageBox::history().isEmpty());
    QVERIFY(m_f->device->GetFile("/WEB/python/blink.py") == bytes);
    QVERIFY(Texts().contains(QString::fromStdString(FileListItemText({"blink.py", std::to_string(bytes.size())}, kWidest))));
    QCOMPARE(Texts().size(), 4);
    // The list was rebuilt: no tick survives.
    QVERIFY(Ticked().isEmpty());
}

void PythonPageTest::uploadMismatch_data()
{
    QTest::addColumn<bool>("retry");
    QTest::newRow("retry uploads again over the bad copy") << true;
    QTest::newRow("cancel still refreshes the list") << false;
}

void PythonPageTest::uploadMismatch()
{
    QFETCH(bool, retry);
    QVERIFY(m_f->Open());
    const std::string bytes = Pattern(2000);
    const std::string path = m_f->LocalFile("blink.py", bytes);
    Retype(Edit("uploadPath"), QString::fromStdString(path));
    m_f->device->ChangeFaults([](sim::Faults& faults) { faults.corruptUploads = true; });
    m_f->device->ClearReceivedCommands();
    MessageBox::setAnswerer([&](const MessageBoxRequest&) {
        m_f->device->ChangeFaults([](sim::Faults& faults) { faults.corruptUploads = false; });
        return retry ? QMessageBox::Retry : QMessageBox::Cancel;
    });

    m_f->Click("upload");

    QCOMPARE(MessageBox::history().size(), 1);
    QCOMPARE(MessageBox::history().first().caption, QStringLiteral("Error"));
    QCOMPARE(MessageBox::history().first().text,
        QStringLiteral("The file %1 did not correctly transfer.").arg(QString::fromStdString(path)));
    QCOMPARE(MessageBox::history().first().buttons, QMessageBox::Retry | QMessageBox::Cancel);
    QCOMPARE(m_f->device->UploadCount(), retry ? 2 : 1);
    QCOMPARE(m_f->CountReceived("<rm "), 0L);
    QCOMPARE(m_f->device->GetFile("/WEB/python/blink.py") == bytes, retry);
    QVERIFY(Texts().contains(QString::fromStdString(FileListItemText({"blink.py", "2000"}, kWidest))));
}

void PythonPageTest::uploadWithoutPathSendsNothing()
{
    QVERIFY(m_f->Open());
    m_f->device->ClearReceivedCommands();
    const QStringList before = Texts();

    m_f->Click("upload");

    QCOMPARE(MessageBox::history().size(), 1);
    QCOMPARE(MessageBox::history().first().caption, QStringLiteral("Please enter a filename"));
    QCOMPARE(MessageBox::history().first().text, QStringLiteral("You must select a file to send."));
    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(Texts(), before);
}

void PythonPageTest::downloadsTickedFilesAskingWhereForEach()
{
    const std::string big = Pattern(20000, 3);
    sim::DeviceConfig config = FastRestarts();
    config.files["/WEB/python/tables.py"] = big;
    QVERIFY(m_f->Open(config));
    for (const char* name : {"main.py", "tables.py", "xbee.py"})
        Tick(QString::fromLatin1(name));
    // xbee.py is cancelled at its save dialog; the others are saved where the test says.
    FileDialog::setAnswerer([&](const FileDialogRequest& request) -> std::optional<QString> {
        if (request.initialName == QStringLiteral("xbee.py"))
            return std::nullopt;
        return QString::fromStdString(SavedPath(request.initialName.toStdString()));
    });
    m_f->device->ClearReceivedCommands();
    const QStringList listed = Texts();

    m_f->Click("download");

    QVERIFY(MessageBox::history().isEmpty());
    QCOMPARE(ReadWholeFile(SavedPath("main.py")), *m_f->device->GetFile("/WEB/python/main.py"));
    QVERIFY(ReadWholeFile(SavedPath("tables.py")) == big);
    QVERIFY(!std::filesystem::exists(SavedPath("xbee.py")));
    const auto& asked = FileDialog::history();
    QCOMPARE(asked.size(), 3);
    QStringList proposed;
    for (const FileDialogRequest& request : asked) {
        QCOMPARE(request.mode, FileDialogRequest::Mode::Save);
        QCOMPARE(request.owner, m_f->page.get());
        QVERIFY(request.defaultSuffix.isEmpty());
        QVERIFY(request.nameFilters.isEmpty());
        proposed.append(request.initialName);
    }
    // In list order, whatever order they were ticked in.
    QCOMPARE(proposed, (QStringList{"main.py", "tables.py", "xbee.py"}));
    // A download leaves the list and its ticks as they were.
    QCOMPARE(m_f->CountReceived(kListPythonFilesRequest), 0L);
    QCOMPARE(Texts(), listed);
    QCOMPARE(Ticked(), (QStringList{"main.py", "tables.py", "xbee.py"}));
}

void PythonPageTest::longAndBlankNamesShowWholeAndAreActedOn()
{
    const QStringList names{"sensor_calibration_table_v2.py", "my program.py"};
    sim::DeviceConfig config = FastRestarts();
    for (const QString& name : names)
        config.files["/WEB/python/" + name.toStdString()] = "print('" + name.toStdString() + "')\n";
    QVERIFY(m_f->Open(config));
    m_f->sheet->resize(360, 560);
    QCoreApplication::processEvents();
    const QFontMetrics metrics(List()->font());
    for (const QString& name : names) {
        QTreeWidgetItem* item = Item(name);
        QVERIFY2(item != nullptr, qPrintable(name));
        // The column holds the whole text: nothing of the name is cut or elided.
        QVERIFY2(metrics.horizontalAdvance(item->text(0).trimmed()) <= List()->columnWidth(0), qPrintable(name));
        Tick(name);
    }
    FileDialog::setAnswerer([&](const FileDialogRequest& request) -> std::optional<QString> {
        return QString::fromStdString(SavedPath(request.initialName.toStdString()));
    });

    m_f->Click("download");

    QVERIFY(MessageBox::history().isEmpty());
    for (const QString& name : names) {
        const std::string path = "/WEB/python/" + name.toStdString();
        QCOMPARE(ReadWholeFile(SavedPath(name.toStdString())), *m_f->device->GetFile(path));
    }

    m_f->Click("delete");

    QVERIFY(MessageBox::history().isEmpty());
    for (const QString& name : names)
        QVERIFY2(!m_f->device->HasFile("/WEB/python/" + name.toStdString()), qPrintable(name));
    QCOMPARE(Texts().size(), 3);
}

void PythonPageTest::deleteRemovesTickedFilesAndRebuildsTheList()
{
    QVERIFY(m_f->Open());
    Tick(QStringLiteral("main.py"));
    Tick(QStringLiteral("xbee.py"));
    m_f->device->ClearReceivedCommands();

    m_f->Click("delete");

    QVERIFY(MessageBox::history().isEmpty());
    QVERIFY(!m_f->device->HasFile("/WEB/python/main.py"));
    QVERIFY(!m_f->device->HasFile("/WEB/python/xbee.py"));
    QVERIFY(m_f->device->HasFile("/WEB/python/sensor_report.py"));
    QCOMPARE(m_f->device->ReceivedCommands().size(), std::size_t(4));
    QCOMPARE(Texts().size(), 1);
    QVERIFY(Texts().first().startsWith(QStringLiteral("sensor_report.py    ")));
    QVERIFY(Ticked().isEmpty());
}

void PythonPageTest::listIsReadOnlyAfterUploadOrDelete()
{
    QVERIFY(m_f->Open());
    const QStringList first = Texts();
    m_f->device->PutFile("/WEB/python/late.py", "print('late')\n");

    // Showing the tab again does not read the list.
    m_f->ClickTab(m_f->kMainTab);
    m_f->ClickTab(m_f->kPageTab);
    QCOMPARE(Texts(), first);

    // Nor does a download with nothing ticked, which sends nothing at all.
    m_f->device->ClearReceivedCommands();
    m_f->Click("download");
    QVERIFY(m_f->device->ReceivedCommands().empty());
    QCOMPARE(Texts(), first);

    // Delete with nothing ticked only reads the list, which then shows the new file.
    m_f->Click("delete");
    QCOMPARE(m_f->device->ReceivedCommands(),
        (std::vector<std::string>{"at&usbinterface=22", std::string(kListPythonFilesRequest)}));
    QCOMPARE(Texts().size(), first.size() + 1);
    QVERIFY(Item(QStringLiteral("late.py")) != nullptr);
}

void PythonPageTest::applySendsTheAutoStartSettings()
{
    QVERIFY(m_f->Open());
    QCOMPARE(m_f->device->Setting("python/state"), std::optional<std::string>("off"));
    auto* enable = m_f->Find<QCheckBox>("autoStartEnable");
    Toggle(enable);
    QVERIFY(enable->isChecked());
    QVERIFY(m_f->page->IsModified());
    Retype(Edit("autoStartCommand"), QStringLiteral("blink.py --fast"));
    QVERIFY(m_f->sheet->IsApplyEnabled());

    m_f->ClickApply();

    QCOMPARE(m_f->device->Setting("python/state"), std::optional<std::string>("on"));
    QCOMPARE(m_f->device->Setting("python/command"), std::optional<std::string>("blink.py --fast"));
    QVERIFY(!m_f->page->IsModified());
    QVERIFY(!m_f->sheet->IsApplyEnabled());
    // The page shows the settings read back.
    QVERIFY(enable->isChecked());
    QCOMPARE(Edit("autoStartCommand")->text(), QStringLiteral("blink.py --fast"));
}

void PythonPageTest::unappliedAutoStartEditSurvivesFileActions()
{
    QVERIFY(m_f->Open());
    Retype(Edit("autoStartCommand"), QStringLiteral("typed.py"));

    // A browse given up and a list rebuilt by Delete leave the typed command line alone.
    m_f->Click("browsePython");
    m_f->Click("delete");

    QCOMPARE(Edit("autoStartCommand")->text(), QStringLiteral("typed.py"));
    QVERIFY(m_f->page->IsModified());
    m_f->ClickApply();
    QCOMPARE(m_f->device->Setting("python/command"), std::optional<std::string>("typed.py"));
}

void PythonPageTest::autoStartFollowsTheSettingsOnReturn()
{
    QVERIFY(m_f->Open());
    QVERIFY(m_f->device->SetSetting("python/command", "other.py"));
    QVERIFY(m_f->device->SetSetting("python/state", "on"));
    m_f->ClickTab(m_f->kMainTab);
    // The device information page reads the device again, settings included.
    QTest::mouseClick(m_f->main->findChild<QPushButton*>("refresh"), Qt::LeftButton);
    m_f->ClickTab(m_f->kPageTab);

    QCOMPARE(Edit("autoStartCommand")->text(), QStringLiteral("other.py"));
    QVERIFY(m_f->Find<QCheckBox>("autoStartEnable")->isChecked());
}

QTEST_MAIN(PythonPageTest)
#include "PythonPageTest.moc"
