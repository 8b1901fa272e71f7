#include "CTolbrinApp.h"

#include "AppImages.h"
#include "CellPage.h"
#include "ComSearch.h"
#include "DravexPage.h"
#include "FirmwarePage.h"
#include "MainPage.h"
#include "MessageBox.h"
#include "PythonPage.h"
#include "RavloPage.h"
#include "RciDocuments.h"
#include "SafeXml.h"
#include "SerialPage.h"
#include "StartupLog.h"
#include "SysfsModemRegistry.h"
#include "TBPropertySheet.h"
#include "USBDialog.h"
#include "UtilsPage.h"

#include <QCoreApplication>
#include <QSettings>

#include <utility>

namespace tervane {

namespace {

const char* const kDetectionErrorText = QT_TRANSLATE_NOOP("tervane::CTolbrinApp",
    "Unable to detect the Skellin Q7. Please verify that it is powered and connected to your computer with the "
    "supplied USB cable.");
const char* const kCommunicationErrorText = QT_TRANSLATE_NOOP("tervane::CTolbrinApp",
    "Unable to communicate with the Skellin Q7. Please verify that it is powered and connected to your computer "
    "with the supplied USB cable.");

QString Translated(const char* text)
{
    return QCoreApplication::translate("tervane::CTolbrinApp", text);
}

// A Retry/Cancel box without owner window; true for Retry.
bool AskRetry(const char* text, const char* caption)
{
    return MessageBox::Show(nullptr, Translated(text), Translated(caption), QMessageBox::Warning,
               QMessageBox::Retry | QMessageBox::Cancel) == QMessageBox::Retry;
}

} // namespace

CTolbrinApp::CTolbrinApp(std::string commandLineText, RciDocuments& documents)
    : m_commandLine(std::move(commandLineText))
    , m_ownStart(std::make_unique<StartupQuery>())
    , m_start(*m_ownStart)
    , m_log(m_start.Log())
    , m_link(m_start.Link())
    , m_runner(m_link)
    , m_documents(documents)
    , m_chooser(ChoosePortWithComSearch)
{
}

CTolbrinApp::CTolbrinApp(std::string commandLineText)
    : CTolbrinApp(std::move(commandLineText), RciDocuments::Instance())
{
}

CTolbrinApp::CTolbrinApp(std::string commandLineText, StartupQuery& started)
    : m_commandLine(std::move(commandLineText))
    , m_start(started)
    , m_startPending(started.Started())
    , m_log(m_start.Log())
    , m_link(m_start.Link())
    , m_runner(m_link)
    , m_documents(RciDocuments::Instance())
    , m_chooser(ChoosePortWithComSearch)
{
}

CTolbrinApp::~CTolbrinApp()
{
    // The documents may outlive the application that writes their notes.
    m_documents.SetParseFailureNote(nullptr);
    // Pages before the window that shows them.
    while (!m_pages.empty())
        m_pages.pop_back();
    m_sheet.reset();
}

void CTolbrinApp::SetModemRegistry(ModemRegistry* registry)
{
    m_registry = registry;
}

void CTolbrinApp::SetPortChooser(PortChooser chooser)
{
    m_chooser = std::move(chooser);
}

void CTolbrinApp::SetFixedPort(std::string path)
{
    m_fixedPort = std::move(path);
}

void CTolbrinApp::SetSheetObserver(std::function<void(TBPropertySheet&)> observer)
{
    m_sheetObserver = std::move(observer);
}

void CTolbrinApp::SetBeforeXmlCleanup(std::function<void()> stopThreads)
{
    m_beforeXmlCleanup = std::move(stopThreads);
}

void CTolbrinApp::SetWindowSettings(QSettings* settings)
{
    m_windowSettings = settings;
}

bool CTolbrinApp::DetectDevice()
{
    if (m_registry == nullptr) {
        m_systemRegistry = std::make_unique<SysfsModemRegistry>();
        m_registry = m_systemRegistry.get();
    }
    return DetectStartupDevice(*m_registry, m_fixedPort, m_link, m_chooser);
}

std::vector<std::unique_ptr<PropertyPage>> CTolbrinApp::CreatePages(RciDocuments& documents, DeviceRunner& runner)
{
    std::vector<std::unique_ptr<PropertyPage>> pages;
    pages.push_back(std::make_unique<MainPage>(documents, runner));
    pages.push_back(std::make_unique<CellPage>(documents, runner));
    pages.push_back(std::make_unique<DravexPage>(documents, runner));
    pages.push_back(std::make_unique<RavloPage>(documents, runner));
    pages.push_back(std::make_unique<SerialPage>(documents, runner));
    pages.push_back(std::make_unique<PythonPage>(documents, runner));
    pages.push_back(std::make_unique<FirmwarePage>(documents, runner));
    pages.push_back(std::make_unique<UtilsPage>(documents, runner));
    return pages;
}

void CTolbrinApp::CreateWindow()
{
    m_sheet = std::make_unique<TBPropertySheet>(m_documents, m_runner);
    m_pages = CreatePages(m_documents, m_runner);
    m_mainPage = static_cast<MainPage*>(m_pages[kMainPageIndex].get());
    m_radioPage = m_pages[kRadioPageIndex].get();
    m_sheet->SetLinkStatus(&m_runner.Status());
    QObject::connect(&m_runner.Status(), &LinkStatus::Changed, m_sheet.get(), [this] { ShowLinkStatus(); });
}

void CTolbrinApp::ShowLinkStatus()
{
    if (m_mainPage == nullptr)
        return;
    const QString port = QString::fromStdString(m_link.PortName());
    switch (m_runner.Status().CurrentState()) {
    case LinkStatus::State::Connected:
        m_mainPage->SetStatus(Translated(QT_TRANSLATE_NOOP("tervane::CTolbrinApp", "Connected (%1)")).arg(port));
        break;
    case LinkStatus::State::Waiting:
        m_mainPage->SetStatus(
            Translated(QT_TRANSLATE_NOOP("tervane::CTolbrinApp", "Waiting for the device (%1)")).arg(port));
        break;
    case LinkStatus::State::NotConnected:
        // Refresh tries again: the link re-opens the port with the next command.
        m_mainPage->SetStatus(Translated(QT_TRANSLATE_NOOP("tervane::CTolbrinApp", "Not connected (%1)")).arg(port));
        break;
    }
}

bool CTolbrinApp::InitInstance()
{
    m_ending = Ending::NotRun;
    m_icon = ApplicationIcon();
    // A query begun before the application has opened the log and written its banner.
    const bool begun = std::exchange(m_startPending, false);
    if (!begun)
        OpenCommandLog(m_commandLine, m_log, m_link);
    // A reply that gives no document says why in the log (nothing is written without one).
    m_documents.SetParseFailureNote([this](std::string_view note) { m_log.WriteNote(note); });
    InitXmlLibrary();
    m_documents.FreeAll();
    m_documents.SetRadioPageFlag(true);

    // Detection as begun before the window: a port already open is found, and its query
    // runs; with none or several ports, detection happens here as without the early start.
    // Its outcome comes before the window, which shows the port's name.
    const StartupQuery::Discovery discovery = begun ? m_start.AwaitDiscovery() : StartupQuery::Discovery::Undecided;

    CreateWindow();

    bool found = false;
    bool queryBegun = false;
    switch (discovery) {
    case StartupQuery::Discovery::Found:
        found = queryBegun = true;
        break;
    case StartupQuery::Discovery::NotFound:
        break;
    case StartupQuery::Discovery::Undecided:
        found = DetectDevice();
        break;
    }
    while (!found) {
        if (!AskRetry(kDetectionErrorText, QT_TRANSLATE_NOOP("tervane::CTolbrinApp", "Device detection error"))) {
            m_ending = Ending::DetectionCancelled;
            Shutdown();
            return false;
        }
        found = DetectDevice();
    }

    m_runner.Status().SetConnected(true);
    ShowLinkStatus();

    bool answered = queryBegun ? TakeStartupQuery() : m_mainPage->QueryDevice();
    while (!answered) {
        if (!AskRetry(kCommunicationErrorText,
                QT_TRANSLATE_NOOP("tervane::CTolbrinApp", "Device communication error"))) {
            m_ending = Ending::CommunicationCancelled;
            Shutdown();
            return false;
        }
        answered = m_mainPage->QueryDevice();
    }

    for (const auto& page : m_pages)
        if (page.get() != m_radioPage || m_documents.RadioPageFlag())
            m_sheet->AddPage(page.get());

    m_sheet->setWindowIcon(m_icon);
    // The window opens as the last run left it: its size and place, and its page.
    QSettings userSettings(QStringLiteral("Tervane"), QStringLiteral("tervane-q7-dashboard"));
    QSettings& windowSettings = m_windowSettings != nullptr ? *m_windowSettings : userSettings;
    m_sheet->RestoreWindowState(windowSettings);
    if (m_sheetObserver)
        m_sheetObserver(*m_sheet);
    m_sheet->DoModal();
    m_sheet->SaveWindowState(windowSettings);
    m_ending = Ending::SheetClosed;
    Shutdown();
    return false;
}

bool CTolbrinApp::TakeStartupQuery()
{
    if (!m_start.QueryFinished()) {
        // The window's thread waits for the device only inside the query's progress dialog.
        USBDialog dialog(m_link, &m_runner.Status());
        dialog.Follow(m_start.Batch(), [this](BatchObserver& observer) { m_start.Follow(observer); });
    }
    return m_mainPage->TakeDeviceQuery(m_start.AwaitQuery());
}

void CTolbrinApp::Shutdown()
{
    m_documents.SetParseFailureNote(nullptr);
    // No thread may use the XML library once it is cleaned up: stop them first.
    if (m_beforeXmlCleanup)
        m_beforeXmlCleanup();
    ShutdownXml(m_documents);
    m_link.SetLog(nullptr);
    m_log.Close();
    m_mainPage = nullptr;
    m_radioPage = nullptr;
    while (!m_pages.empty())
        m_pages.pop_back();
    m_sheet.reset();
}

} // namespace tervane
