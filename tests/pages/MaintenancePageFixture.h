#pragma once

// A maintenance page in a sheet after the Device Information page, against the simulated
// device, with the program's message boxes and file dialogs answered by the test.

#include "Clock.h"
#include "DeviceQuery.h"
#include "DeviceRunner.h"
#include "FileDialog.h"
#include "MainPage.h"
#include "MessageBox.h"
#include "TBPropertySheet.h"
#include "RciDocuments.h"
#include "SerialLink.h"
#include "SimulatedQ7.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace tervane::test {

template <class Page>
class MaintenancePageFixture {
public:
    static constexpr int kMainTab = 0;
    static constexpr int kPageTab = 1;

    MaintenancePageFixture()
    {
        // Every box is answered with its first button unless a test says otherwise.
        MessageBox::setAnswerer([](const MessageBoxRequest& request) {
            return request.buttons.testFlag(QMessageBox::Retry) ? QMessageBox::Cancel : QMessageBox::Ok;
        });
        MessageBox::clearHistory();
        FileDialog::setAnswerer([](const FileDialogRequest&) { return std::optional<QString>(); });
        FileDialog::clearHistory();
    }

    ~MaintenancePageFixture()
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

    // Starts the device (restarting in a tenth of a second), reads it as start-up does,
    // opens the sheet and clicks the page's tab.
    bool Open(sim::DeviceConfig config = {})
    {
        config.restartDelayMs = 100;
        device = std::make_unique<sim::SimulatedQ7>(config);
        if (dir.empty() || !device->Start())
            return false;
        link = std::make_unique<SerialLink>(clock);
        link->SetPortName(device->PortPath());
        if (!link->OpenPort())
            return false;
        runner = std::make_unique<DirectRunner>(*link);
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

    template <class T>
    T* Find(const char* name) const
    {
        return page->template findChild<T*>(QString::fromLatin1(name));
    }

    void Click(const char* button) const { QTest::mouseClick(Find<QAbstractButton>(button), Qt::LeftButton); }

    void ClickTab(int index)
    {
        QTabBar* bar = sheet->Tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    // Replaces an edit's text the way a person does.
    static void TypeInto(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    std::string LocalFile(const std::string& name, const std::string& bytes) const
    {
        const std::string path = dir + "/" + name;
        WriteWholeFile(path, bytes);
        return path;
    }

    // How many received commands hold `fragment`.
    long CountReceived(std::string_view fragment) const
    {
        const auto commands = device->ReceivedCommands();
        return std::count_if(commands.begin(), commands.end(),
            [&](const std::string& command) { return command.find(fragment) != std::string::npos; });
    }

    bool SaveScreenshot(const QString& name) const
    {
        return sheet->grab().save(QStringLiteral(TERVANE_SCREENSHOT_DIR "/") + name);
    }

    std::string dir = MakeScratchDir("tervane-pages");
    std::unique_ptr<sim::SimulatedQ7> device;
    // Waits of the link (the settle after an apply, the install's reconnect wait) pass a
    // hundred times faster.
    FastClock clock{100};
    std::unique_ptr<SerialLink> link;
    std::unique_ptr<DirectRunner> runner;
    RciDocuments documents;
    std::unique_ptr<TBPropertySheet> sheet;
    std::unique_ptr<MainPage> main;
    std::unique_ptr<Page> page;
};

// Bytes that are not text, so that every byte value and line end goes through a transfer.
inline std::string Bytes(std::size_t size, unsigned seed = 5)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 167 + i / 253 + seed) & 0xff);
    return bytes;
}

} // namespace tervane::test
