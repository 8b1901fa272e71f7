#pragma once

// A page of the dashboard's window, after the Device Information page, against the simulated
// device; message boxes and file dialogs are answered by the test. Beside it the ways a
// person drives a page: typing, choosing, clicking boxes, tabs and Apply.

#include "Clock.h"
#include "DeviceQuery.h"
#include "DeviceRunner.h"
#include "EditLooks.h"
#include "FileDialog.h"
#include "MainPage.h"
#include "MessageBox.h"
#include "PropertyPage.h"
#include "RciDocuments.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SettingPath.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"
#include "TBPropertySheet.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tervane::test {

// The dashboard's window, keeping the apply messages its pages send before it acts on them.
class RecordingSheet : public TBPropertySheet {
public:
    using TBPropertySheet::TBPropertySheet;

    QList<int> messages;

protected:
    long OnMessage(int message) override
    {
        messages.append(message);
        return TBPropertySheet::OnMessage(message);
    }
};

// Where Open takes the documents from: the device query start-up runs, or the replies the
// device gives its three queries now, parsed straight away, which saves the query's
// exchanges with the device. Tests of what a page shows after start-up take the query.
enum class DocumentsFrom { DeviceQuery, Simulator };

inline QList<int> Sorted(QList<int> ids)
{
    std::sort(ids.begin(), ids.end());
    return ids;
}

// A device configuration without these settings (paths as in DeviceConfig::omitted).
inline sim::DeviceConfig Omitting(const QStringList& paths)
{
    sim::DeviceConfig config = FastRestarts();
    for (const QString& path : paths)
        config.omitted.insert(path.toStdString());
    return config;
}

// Faults that make the device answer ERROR to commands holding any of `fragments`.
inline sim::Faults ErrorFor(const QStringList& fragments)
{
    sim::Faults faults;
    for (const QString& fragment : fragments)
        faults.errorFor.push_back(fragment.toStdString());
    return faults;
}

// How much faster than real time the link's own waits pass. A settings apply settles in
// 20 ms at kQuickClock; where the device restarts, kRestartClock lets the reconnect waits
// outlast the restart of FastRestarts.
inline constexpr uint32_t kQuickClock = 1000;
inline constexpr uint32_t kRestartClock = 100;

template <class Page>
class PageSimFixture {
public:
    static constexpr int kMainTab = 0;
    static constexpr int kPageTab = 1;

    explicit PageSimFixture(uint32_t clockSpeedUp = kQuickClock)
        : clock(clockSpeedUp)
    {
        clock.HoldWhile([this] { return device && device->Restarting(); });
        // Retry questions are cancelled, every other box is answered OK; no file is chosen.
        MessageBox::setAnswerer([](const MessageBoxRequest& request) {
            return request.buttons.testFlag(QMessageBox::Retry) ? QMessageBox::Cancel : QMessageBox::Ok;
        });
        MessageBox::clearHistory();
        FileDialog::setAnswerer([](const FileDialogRequest&) { return std::optional<QString>(); });
        FileDialog::clearHistory();
    }

    ~PageSimFixture()
    {
        page.reset();
        main.reset();
        sheet.reset();
        documents.FreeAll();
        runner.reset();
        link.reset();
        device.reset();
        MessageBox::setAnswerer({});
        MessageBox::clearHistory();
        FileDialog::setAnswerer({});
        FileDialog::clearHistory();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    PageSimFixture(const PageSimFixture&) = delete;
    PageSimFixture& operator=(const PageSimFixture&) = delete;

    // Starts the device with `faults` and opens the link; tests may change the device's
    // settings before OpenStarted reads them.
    bool StartDevice(const sim::DeviceConfig& config = FastRestarts(), const sim::Faults& faults = {})
    {
        device = std::make_unique<sim::SimulatedQ7>(config);
        link = std::make_unique<SerialLink>(clock);
        if (dir.empty() || !StartAndOpen(*device, *link, faults))
            return false;
        runner = std::make_unique<DirectRunner>(*link);
        return true;
    }

    // Starts the device and opens the window on it; see StartDevice and OpenStarted.
    bool Open(const sim::DeviceConfig& config = FastRestarts(), const sim::Faults& faults = {},
        DocumentsFrom from = DocumentsFrom::Simulator)
    {
        return StartDevice(config, faults) && OpenStarted(from);
    }

    // Fills the documents from the started device, opens the window and clicks the page's tab.
    bool OpenStarted(DocumentsFrom from = DocumentsFrom::Simulator)
    {
        if (from == DocumentsFrom::DeviceQuery) {
            DeviceFacts facts;
            if (!QueryDevice(facts, documents, *runner))
                return false;
        } else {
            documents.ParseSettings(device->SettingsXml());
            documents.ParseState(device->StateXml());
            documents.ParseRadioSettings(device->RadioSettingsXml());
            if (documents.SettingsRoot() == nullptr || documents.StateRoot() == nullptr)
                return false;
        }
        sheet = std::make_unique<RecordingSheet>(documents, *runner);
        main = std::make_unique<MainPage>(documents, *runner);
        page = std::make_unique<Page>(documents, *runner);
        sheet->AddPage(main.get());
        sheet->AddPage(page.get());
        sheet->resize(640, 560);
        sheet->show();
        sheet->activateWindow();
        ClickTab(kPageTab);
        return sheet->GetActivePage() == page.get();
    }

    template <class T>
    T* Find(const char* name) const
    {
        return page->template findChild<T*>(QString::fromLatin1(name));
    }

    // The page's control of that id; a missing one ends the test program.
    template <class T>
    T* Control(int id) const
    {
        T* control = page->template Control<T>(id);
        if (control == nullptr)
            qFatal("no control %d", id);
        return control;
    }

    void Click(const char* button) const { QTest::mouseClick(Find<QAbstractButton>(button), Qt::LeftButton); }

    void ClickTab(int index)
    {
        QTabBar* bar = sheet->Tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    void ClickApply() { QTest::mouseClick(sheet->ApplyButton(), Qt::LeftButton); }

    // Clicks the other tab and Apply there, with the page's changes unapplied: Apply stays
    // enabled and sends neither a message nor a command.
    void ApplyOnTheOtherTab()
    {
        const std::size_t received = device->ReceivedCommands().size();
        ClickTab(kMainTab);
        QCOMPARE(sheet->GetActivePage(), static_cast<PropertyPage*>(main.get()));
        QVERIFY(sheet->IsApplyEnabled());
        ClickApply();
        QVERIFY(sheet->messages.isEmpty());
        QCOMPARE(device->ReceivedCommands().size(), received);
    }

    // The ids among `ids` (by default all the page's) whose controls show, sorted.
    template <class Ids>
    QList<int> ShownControls(const Ids& ids) const
    {
        QList<int> shown;
        for (int id : ids)
            if (page->GetDlgItem(id)->isVisible())
                shown.append(id);
        return Sorted(shown);
    }
    QList<int> ShownControls() const { return ShownControls(page->ControlIds()); }

    // How many received commands hold `fragment`.
    long CountReceived(std::string_view fragment) const
    {
        const auto commands = device->ReceivedCommands();
        return std::count_if(commands.begin(), commands.end(),
            [&](const std::string& command) { return command.find(fragment) != std::string::npos; });
    }

    // The settings request the device received last, or empty.
    std::string LastPayload() const
    {
        std::string found;
        for (const std::string& received : device->ReceivedCommands())
            if (received.find("<set_setting>") != std::string::npos)
                found = received;
        return found;
    }

    // A setting as the device holds it, or "<missing>".
    std::string DeviceSetting(const std::string& path) const { return device->Setting(path).value_or("<missing>"); }
    std::string RadioSetting(const std::string& path) const
    {
        return device->RadioSetting(path).value_or("<missing>");
    }

    // A setting as the settings document holds it, or "<missing>".
    std::string DocumentSetting(const std::string& path) const
    {
        xmlNodePtr element = ResolvePath(documents.SettingsRoot(), path);
        if (element == nullptr)
            return "<missing>";
        const XmlString text(xmlNodeGetContent(element));
        return text ? reinterpret_cast<const char*>(text.get()) : "";
    }

    // Writes a file into the test's scratch folder and gives its path.
    std::string LocalFile(const std::string& name, const std::string& bytes) const
    {
        const std::string path = dir + "/" + name;
        if (!WriteWholeFile(path, bytes))
            qFatal("cannot write %s", path.c_str());
        return path;
    }

    // Saves a picture of the window into the test's build folder.
    bool SaveScreenshot(const QString& name) const
    {
        return sheet->grab().save(QStringLiteral(TERVANE_SCREENSHOT_DIR "/") + name);
    }

    std::string dir = MakeScratchDir("tervane-pages");
    std::unique_ptr<sim::SimulatedQ7> device;
    FastClock clock;
    std::unique_ptr<SerialLink> link;
    std::unique_ptr<DirectRunner> runner;
    RciDocuments documents;
    std::unique_ptr<RecordingSheet> sheet;
    std::unique_ptr<MainPage> main;
    std::unique_ptr<Page> page;
};

// Replaces an edit's text as a person does: select everything, delete it, type each
// character. Every character goes through the edit's own key handling and validator,
// whatever its script.
inline void Retype(QLineEdit* edit, const QString& text)
{
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Chooses a list entry with the arrow keys. False when the list has no such entry or the
// keys do not reach it.
inline bool Choose(QComboBox* list, const QString& entry)
{
    const int wanted = list->findText(entry, Qt::MatchExactly);
    if (wanted < 0)
        return false;
    while (list->currentIndex() != wanted) {
        const int before = list->currentIndex();
        QTest::keyClick(list, before < wanted ? Qt::Key_Down : Qt::Key_Up);
        if (list->currentIndex() == before)
            return false;
    }
    return true;
}

// Clicks a check box on its box.
inline void Toggle(QAbstractButton* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

// A document as text, to tell whether anything in it changed.
inline std::string Dump(xmlDocPtr document)
{
    if (document == nullptr)
        return {};
    xmlChar* text = nullptr;
    int length = 0;
    xmlDocDumpMemory(document, &text, &length);
    const XmlString owner(text);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)) : std::string();
}

} // namespace tervane::test
