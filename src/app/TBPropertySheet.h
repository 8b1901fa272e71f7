#pragma once

#include "PropertySheet.h"

class QAction;
class QMenu;

namespace tervane {

class DeviceRunner;
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

public slots:
    // Runs the About box modally, without owner window.
    void OnAbout();
    void OnMinimize();

protected:
    long OnMessage(int message) override;

private:
    RciDocuments& m_documents;
    DeviceRunner& m_runner;
    QMenu* m_menu;
    QAction* m_about;
    QAction* m_minimize;
};

} // namespace tervane
