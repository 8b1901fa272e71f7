#pragma once

#include "CommandLog.h"
#include "DetectDevice.h"
#include "DialogRunner.h"
#include "SerialLink.h"
#include "StartupQuery.h"

#include <QIcon>

class QSettings;

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tervane {

class DeviceRunner;
class MainPage;
class ModemRegistry;
class PropertyPage;
class RciDocuments;
class TBPropertySheet;

// The application: the command log, the link to the device, the documents and the window,
// for the whole run. InitInstance is the program's whole life on the window's thread: it
// finds the device, reads it behind the progress dialog, runs the window modally and shuts
// down. Needs a QApplication.
class CTolbrinApp {
public:
    // How the last InitInstance ended.
    enum class Ending {
        NotRun,
        DetectionCancelled,      // Cancel in the "Device detection error" box
        CommunicationCancelled,  // Cancel in the "Device communication error" box
        SheetClosed,             // the window ran and was closed
    };

    // `commandLineText`: the arguments after the program name, joined by blanks.
    explicit CTolbrinApp(std::string commandLineText, RciDocuments& documents);
    explicit CTolbrinApp(std::string commandLineText);
    // With start-up's detection and device query begun already, before the toolkit started:
    // the application goes on with their link and log, and takes the query's answers.
    CTolbrinApp(std::string commandLineText, StartupQuery& started);
    ~CTolbrinApp();
    CTolbrinApp(const CTolbrinApp&) = delete;
    CTolbrinApp& operator=(const CTolbrinApp&) = delete;

    // Where detection looks: the system's modem registrations (the default) or the given ones.
    void SetModemRegistry(ModemRegistry* registry);
    // Who picks among several devices; the port choice dialog unless set.
    void SetPortChooser(PortChooser chooser);
    // Detection opens this port instead of looking through the registrations.
    void SetFixedPort(std::string path);
    // Called with the window right before it runs modally (tests look at it and close it).
    void SetSheetObserver(std::function<void(TBPropertySheet&)> observer);
    // Called at shutdown before the XML library is cleaned up: stops every thread of the
    // program's own that may still use the library (the built-in simulated device's).
    void SetBeforeXmlCleanup(std::function<void()> stopThreads);
    // Where the window's size, place and last page are kept between runs; the user's own
    // settings of the program unless set (tests give their own).
    void SetWindowSettings(QSettings* settings);

    // Runs the program and returns false, as the application ends without a loop of its own.
    bool InitInstance();
    Ending LastEnding() const { return m_ending; }

    // The window's eight pages in tab order; the radio page is at kRadioPageIndex.
    static std::vector<std::unique_ptr<PropertyPage>> CreatePages(RciDocuments& documents, DeviceRunner& runner);
    static constexpr std::size_t kMainPageIndex = 0;
    static constexpr std::size_t kRadioPageIndex = 3;

    // Detection: the port found, opened and configured in the link.
    bool DetectDevice();

    // How the link stands, as the window's status bar and the Device Information page show it.
    LinkStatus& Status() { return m_runner.Status(); }
    CommandLog& Log() { return m_log; }
    SerialLink& Link() { return m_link; }
    RciDocuments& Documents() { return m_documents; }
    const QIcon& Icon() const { return m_icon; }

private:
    void CreateWindow();
    void Shutdown();
    // The Device Information page's status from the link's.
    void ShowLinkStatus();
    // The device query begun before the window: followed behind its progress dialog while
    // it still runs, then read as QueryDevice reads its own.
    bool TakeStartupQuery();

    std::string m_commandLine;
    // The link and the log are start-up's query's: the application's own, or one begun
    // before the application.
    std::unique_ptr<StartupQuery> m_ownStart;
    StartupQuery& m_start;
    // Whether InitInstance still has the begun query's outcome to take.
    bool m_startPending = false;
    CommandLog& m_log;
    QIcon m_icon;
    SerialLink& m_link;
    DialogRunner m_runner;
    RciDocuments& m_documents;
    std::unique_ptr<ModemRegistry> m_systemRegistry;
    ModemRegistry* m_registry = nullptr;
    PortChooser m_chooser;
    std::string m_fixedPort;
    std::function<void(TBPropertySheet&)> m_sheetObserver;
    std::function<void()> m_beforeXmlCleanup;
    QSettings* m_windowSettings = nullptr;

    // The window and its pages, in the order made; pages go before the window.
    std::unique_ptr<TBPropertySheet> m_sheet;
    std::vector<std::unique_ptr<PropertyPage>> m_pages;
    MainPage* m_mainPage = nullptr;
    PropertyPage* m_radioPage = nullptr;
    Ending m_ending = Ending::NotRun;
};

} // namespace tervane
