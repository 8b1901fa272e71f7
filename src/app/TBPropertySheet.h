#pragma once

#include "PropertySheet.h"

class QAction;
class QLabel;
class QMenu;
class QSettings;
class QStatusBar;

namespace tervane {

struct ApplyOutcome;
class DeviceRunner;
class LinkStatus;
class RciDocuments;

// The program's window: the tabbed pages with OK, Cancel and Apply under the product title
// and icon, with a minimize button and no maximize button. The window manager owns the title
// bar's menu here, so "&About..." and "Minimize" sit on the tab bar's context menu (a right
// click on the tabs) and on the keys F1 and Ctrl+M.
// Pages' apply messages are sent to the device behind the modal progress dialog.
class TBPropertySheet : public PropertySheet {
    Q_OBJECT

public:
    TBPropertySheet(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);

    // The context menu as it pops up, separator, "&About..." and "Minimize".
    QMenu* SystemMenu() const { return m_menu; }

    // The status bar under the tabs shows how this link stands: the port, connected, waiting
    // for the device or not connected, and when the device last answered.
    void SetLinkStatus(LinkStatus* status);
    QStatusBar* StatusBar() const { return m_statusBar; }
    QLabel* PortLabel() const { return m_port; }
    QLabel* ConnectionLabel() const { return m_connection; }
    QLabel* LastReadLabel() const { return m_lastRead; }

    // The window's size and place and the page last in front, as the last run left them.
    void RestoreWindowState(QSettings& settings);
    void SaveWindowState(QSettings& settings) const;

    // Cancel, Escape and the close box: with changes not yet applied, the user is asked
    // first, and keeping the window is the default.
    void reject() override;

public slots:
    // Runs the About box modally, without owner window.
    void OnAbout();
    void OnMinimize();

protected:
    long OnMessage(int message) override;

private:
    void ShowLinkStatus();
    // Tells the user when the device refused an apply in its own words, under `heading`.
    void ReportRefusal(const ApplyOutcome& outcome, const QString& heading);

    // How much of the device's words a refusal box shows.
    static constexpr int kShownRefusalLength = 300;

    RciDocuments& m_documents;
    DeviceRunner& m_runner;
    QMenu* m_menu;
    QAction* m_about;
    QAction* m_minimize;
    QStatusBar* m_statusBar;
    QLabel* m_port;
    QLabel* m_connection;
    QLabel* m_lastRead;
    LinkStatus* m_linkStatus = nullptr;
};

} // namespace tervane
