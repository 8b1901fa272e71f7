#include "CTolbrinApp.h"

#include "CellPage.h"
#include "CommandLine.h"
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
#include "SysfsModemRegistry.h"
#include "TBPropertySheet.h"
#include "UtilsPage.h"
#include "AppImages.h"

#include <QCoreApplication>

#include <ctime>

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

std::string CurrentCtimeText()
{
    const std::time_t now = std::time(nullptr);
    char buffer[64] = {};
    // ctime's own form, kept in a buffer of this thread's.
    if (ctime_r(&now, buffer) == nullptr)
        return "\n";
    return buffer;
}

} // namespace

CTolbrinApp::CTolbrinApp(std::string commandLineText, RciDocuments& documents)
    : m_commandLine(std::move(commandLineText))
    , m_runner(m_link)
    , m_documents(documents)
    , m_chooser(ChoosePortWithComSearch)
{
}

CTolbrinApp::CTolbrinApp(std::string commandLineText)
    : CTolbrinApp(std::move(commandLineText), RciDocuments::Instance())
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

std::string CTolbrinApp::GetProductVersionText()
{
    const std::string version = TERVANE_PRODUCT_VERSION;
    return version.empty() ? std::string() : "Version " + version;
}

bool CTolbrinApp::DetectDevice()
{
    if (!m_fixedPort.empty()) {
        m_link.ClosePort();
        m_link.SetPortName(m_fixedPort);
        if (m_link.OpenPortNoDrain())
            return true;
        // The detection box keeps its fixed text; the command log says why.
        if (m_log.IsOpen())
            m_log.WriteNote(DescribeOpenFailure(m_fixedPort, m_link.LastOpenFailure()));
        return false;
    }
    if (m_registry == nullptr) {
        m_systemRegistry = std::make_unique<SysfsModemRegistry>();
        m_registry = m_systemRegistry.get();
    }
    return tervane::DetectDevice(*m_registry, m_link, m_chooser);
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
}

bool CTolbrinApp::InitInstance()
{
    m_ending = Ending::NotRun;
    m_icon = ApplicationIcon();
    if (WantsCommandLog(m_commandLine) && m_log.Open("command.log"))
        m_link.SetLog(&m_log);
    // A reply that gives no document says why in the log (nothing is written without one).
    m_documents.SetParseFailureNote([this](std::string_view note) { m_log.WriteNote(note); });
    InitXmlLibrary();
    m_documents.FreeAll();
    m_documents.SetRadioPageFlag(true);
    if (m_log.IsOpen())
        m_log.WriteBanner(kProductTitle, GetProductVersionText(), CurrentCtimeText());

    CreateWindow();

    bool found = DetectDevice();
    while (!found) {
        if (!AskRetry(kDetectionErrorText, QT_TRANSLATE_NOOP("tervane::CTolbrinApp", "Device detection error"))) {
            m_ending = Ending::DetectionCancelled;
            Shutdown();
            return false;
        }
        found = DetectDevice();
    }

    m_mainPage->SetStatus(Translated(QT_TRANSLATE_NOOP("tervane::CTolbrinApp", "Connected (%1)"))
                              .arg(QString::fromStdString(m_link.PortName())));

    while (!m_mainPage->QueryDevice()) {
        if (!AskRetry(kCommunicationErrorText,
                QT_TRANSLATE_NOOP("tervane::CTolbrinApp", "Device communication error"))) {
            m_ending = Ending::CommunicationCancelled;
            Shutdown();
            return false;
        }
    }

    for (const auto& page : m_pages)
        if (page.get() != m_radioPage || m_documents.RadioPageFlag())
            m_sheet->AddPage(page.get());

    m_sheet->setWindowIcon(m_icon);
    if (m_sheetObserver)
        m_sheetObserver(*m_sheet);
    m_sheet->DoModal();
    m_ending = Ending::SheetClosed;
    Shutdown();
    return false;
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
