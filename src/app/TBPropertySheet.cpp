#include "TBPropertySheet.h"

#include "ApplySettings.h"
#include "CAboutDlg.h"
#include "PropertyPage.h"

#include <QAction>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>

namespace tervane {

TBPropertySheet::TBPropertySheet(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertySheet(QString::fromUtf8(kProductTitle), parent)
    , m_documents(documents)
    , m_runner(runner)
    , m_menu(new QMenu(this))
    , m_about(new QAction(tr("&About..."), this))
    , m_minimize(new QAction(tr("Minimize"), this))
{
    setObjectName(QStringLiteral("TBPropertySheet"));
    // A top-level window rather than a dialog, so that window managers give it a minimize
    // button and a task bar entry to come back from.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    m_about->setObjectName(QStringLiteral("about"));
    m_about->setShortcut(QKeySequence(Qt::Key_F1));
    m_about->setShortcutContext(Qt::WindowShortcut);
    m_minimize->setObjectName(QStringLiteral("minimize"));
    m_minimize->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    m_minimize->setShortcutContext(Qt::WindowShortcut);
    addAction(m_about);
    addAction(m_minimize);
    connect(m_about, &QAction::triggered, this, &TBPropertySheet::OnAbout);
    connect(m_minimize, &QAction::triggered, this, &TBPropertySheet::OnMinimize);

    m_menu->setObjectName(QStringLiteral("systemMenu"));
    m_menu->addSeparator();
    m_menu->addAction(m_about);
    m_menu->addAction(m_minimize);

    // The menu belongs to the row of tabs, the nearest this window has to a title bar of its
    // own; the pages keep their controls' own menus.
    QTabBar* tabBar = Tabs()->tabBar();
    tabBar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tabBar, &QWidget::customContextMenuRequested, this,
        [this, tabBar](const QPoint& position) { m_menu->popup(tabBar->mapToGlobal(position)); });
}

void TBPropertySheet::OnAbout()
{
    CAboutDlg about;
    about.exec();
}

void TBPropertySheet::OnMinimize()
{
    showMinimized();
}

long TBPropertySheet::OnMessage(int message)
{
    switch (message) {
    case WM_APPLY_SETTINGS:
        OnApplySettings(m_documents, m_runner);
        return 0;
    case WM_APPLY_RADIO_SETTINGS:
        OnApplyRadioSettings(m_documents, m_runner);
        return 0;
    default:
        return PropertySheet::OnMessage(message);
    }
}

} // namespace tervane
