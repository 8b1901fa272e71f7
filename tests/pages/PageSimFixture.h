#pragma once

// A dashboard sheet (Device Information first, then the page under test) against the
// simulated device, and the ways a person drives it: typing, clicking, choosing, Apply.

#include "DeviceQuery.h"
#include "DeviceRunner.h"
#include "MainPage.h"
#include "MessageBox.h"
#include "RciDocuments.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SettingPath.h"
#include "SimulatedQ7.h"
#include "TBPropertySheet.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>
#include <string>

namespace tervane::test {

template <class Page>
class PageSimFixture {
public:
    static constexpr int kMainTab = 0;
    static constexpr int kPageTab = 1;

    // Starts the device; tests may change its settings before Open reads them.
    bool StartDevice(const sim::DeviceConfig& config = {})
    {
        device = std::make_unique<sim::SimulatedQ7>(config);
        if (!device->Start())
            return false;
        link = std::make_unique<SerialLink>(clock);
        link->SetPortName(device->PortPath());
        if (!link->OpenPort())
            return false;
        runner = std::make_unique<DirectRunner>(*link);
        return true;
    }

    // Reads the device as start-up does, opens the sheet and clicks the page's tab.
    bool Open()
    {
        DeviceFacts facts;
        if (!QueryDevice(facts, documents, *runner))
            return false;
        sheet = std::make_unique<TBPropertySheet>(documents, *runner);
        main = std::make_unique<MainPage>(documents, *runner);
        page = std::make_unique<Page>(documents, *runner);
        sheet->AddPage(main.get());
        sheet->AddPage(page.get());
        sheet->resize(640, 560);
        sheet->show();
        ClickTab(kPageTab);
        return sheet->GetActivePage() == page.get();
    }

    void Close()
    {
        page.reset();
        main.reset();
        sheet.reset();
        documents.FreeAll();
        runner.reset();
        link.reset();
        device.reset();
    }

    template <class T>
    T* Find(const char* name) const
    {
        return page->template findChild<T*>(QString::fromLatin1(name));
    }

    void ClickTab(int index)
    {
        QTabBar* bar = sheet->Tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    void ClickApply() { QTest::mouseClick(sheet->ApplyButton(), Qt::LeftButton); }

    // The setting as the device holds it, or "<missing>".
    std::string DeviceSetting(const std::string& path) const
    {
        return device->Setting(path).value_or("<missing>");
    }

    // The setting as the settings document holds it, or "<missing>".
    std::string DocumentSetting(const std::string& path) const
    {
        xmlNodePtr element = ResolvePath(documents.SettingsRoot(), path);
        if (element == nullptr)
            return "<missing>";
        const XmlString text(xmlNodeGetContent(element));
        return text ? reinterpret_cast<const char*>(text.get()) : "";
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

    std::unique_ptr<sim::SimulatedQ7> device;
    // The settings need 20 s to take effect; this clock lets the wait pass quickly.
    FastClock clock{1000};
    std::unique_ptr<SerialLink> link;
    std::unique_ptr<DirectRunner> runner;
    RciDocuments documents;
    std::unique_ptr<TBPropertySheet> sheet;
    std::unique_ptr<MainPage> main;
    std::unique_ptr<Page> page;
};

// Replaces the edit's text the way a person does: select all, delete, type each character.
inline void TypeInto(QLineEdit* edit, const QString& text)
{
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Clicks a check box on its box.
inline void ClickBox(QAbstractButton* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

// Chooses an entry of a drop-down list with the arrow keys.
inline bool ChooseEntry(QComboBox* list, const QString& text)
{
    const int wanted = list->findText(text, Qt::MatchExactly);
    if (wanted < 0)
        return false;
    while (list->currentIndex() < wanted)
        QTest::keyClick(list, Qt::Key_Down);
    while (list->currentIndex() > wanted)
        QTest::keyClick(list, Qt::Key_Up);
    return list->currentIndex() == wanted;
}

// Answers every message box with OK and keeps what it said.
inline void AnswerMessageBoxesWithOk()
{
    MessageBox::setAnswerer([](const MessageBoxRequest&) { return QMessageBox::Ok; });
    MessageBox::clearHistory();
}

inline void ShowMessageBoxesAgain()
{
    MessageBox::setAnswerer({});
    MessageBox::clearHistory();
}

// Saves a picture of the window into the test's build folder.
inline bool SaveScreenshot(QWidget* window, const QString& name)
{
    return window->grab().save(QStringLiteral(TERVANE_SCREENSHOT_DIR "/") + name);
}

} // namespace tervane::test
