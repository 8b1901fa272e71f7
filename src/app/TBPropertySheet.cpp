#include "TBPropertySheet.h"

#include "ApplySettings.h"
#include "CAboutDlg.h"
#include "LinkStatus.h"
#include "MessageBox.h"
#include "ProcedureSteps.h"
#include "PropertyPage.h"

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
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
    , m_statusBar(new QStatusBar(this))
    , m_port(new QLabel(m_statusBar))
    , m_connection(new QLabel(m_statusBar))
    , m_lastRead(new QLabel(m_statusBar))
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

    // Under the tabs, above the buttons. Named like the lamps: what each part is, and what it
    // shows as its description and tooltip.
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    const auto part = [this](QLabel* label, const char* objectName, const QString& name, int stretch) {
        label->setObjectName(QString::fromLatin1(objectName));
        label->setAccessibleName(name);
        label->setTextFormat(Qt::PlainText);
        m_statusBar->addWidget(label, stretch);
    };
    part(m_port, "statusPort", tr("Port"), 0);
    part(m_connection, "statusConnection", tr("Connection"), 1);
    part(m_lastRead, "statusLastRead", tr("Last read"), 0);
    if (auto* box = qobject_cast<QBoxLayout*>(layout()))
        box->insertWidget(box->indexOf(Tabs()) + 1, m_statusBar);
    ShowLinkStatus();
}

void TBPropertySheet::SetLinkStatus(LinkStatus* status)
{
    if (m_linkStatus != nullptr)
        disconnect(m_linkStatus, nullptr, this, nullptr);
    m_linkStatus = status;
    if (m_linkStatus != nullptr)
        connect(m_linkStatus, &LinkStatus::Changed, this, &TBPropertySheet::ShowLinkStatus);
    ShowLinkStatus();
}

void TBPropertySheet::ShowLinkStatus()
{
    const auto show = [](QLabel* label, const QString& text) {
        label->setText(text);
        label->setToolTip(text);
        label->setAccessibleDescription(text);
    };
    if (m_linkStatus == nullptr) {
        show(m_port, QString());
        show(m_connection, QString());
        show(m_lastRead, QString());
        return;
    }
    show(m_port, m_linkStatus->PortName());
    switch (m_linkStatus->CurrentState()) {
    case LinkStatus::State::Connected:
        show(m_connection, tr("Connected"));
        break;
    case LinkStatus::State::Waiting:
        show(m_connection, tr("Waiting for the device (%1 s left)").arg(m_linkStatus->SecondsLeft()));
        break;
    case LinkStatus::State::NotConnected:
        show(m_connection, tr("Not connected"));
        break;
    }
    const QDateTime last = m_linkStatus->LastAnswer();
    show(m_lastRead, last.isValid() ? tr("Last read %1").arg(last.time().toString(Qt::ISODate)) : tr("Not read yet"));
}

void TBPropertySheet::RestoreWindowState(QSettings& settings)
{
    settings.beginGroup(QStringLiteral("window"));
    const QByteArray geometry = settings.value(QStringLiteral("geometry")).toByteArray();
    const QString page = settings.value(QStringLiteral("page")).toString();
    settings.endGroup();
    // Qt moves a window back onto the screen when the screens changed since.
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    // The page by its name: the radio page may be missing this time.
    for (int i = 0; i < GetPageCount(); ++i)
        if (!page.isEmpty() && GetPage(i)->objectName() == page) {
            SetActivePage(i);
            break;
        }
}

void TBPropertySheet::SaveWindowState(QSettings& settings) const
{
    settings.beginGroup(QStringLiteral("window"));
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    if (const PropertyPage* page = GetActivePage())
        settings.setValue(QStringLiteral("page"), page->objectName());
    settings.endGroup();
}

void TBPropertySheet::reject()
{
    QStringList unapplied;
    for (int i = 0; i < GetPageCount(); ++i)
        if (GetPage(i)->IsModified())
            unapplied.append(GetPage(i)->Caption());
    if (!unapplied.isEmpty()) {
        MessageBoxRequest question;
        question.owner = this;
        question.caption = windowTitle();
        question.text = tr("The changes on these pages have not been applied to the device: %1.\n\n"
                           "Close the window and discard them?")
                            .arg(unapplied.join(QStringLiteral(", ")));
        question.icon = QMessageBox::Warning;
        question.buttons = QMessageBox::Discard | QMessageBox::Cancel;
        question.defaultButton = QMessageBox::Cancel;
        if (MessageBox::Show(question) != QMessageBox::Discard)
            return;
    }
    PropertySheet::reject();
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

void TBPropertySheet::ReportRefusal(const ApplyOutcome& outcome, const QString& heading)
{
    // An error answer or none is left to the page, which shows the settings the device kept.
    // A device that answers OK and says why it kept them has its words shown as well: its
    // control characters as "?", and only so much of it as a box can hold.
    if (!outcome.refused || !outcome.refusedInReply)
        return;
    QString words = QString::fromStdString(ShownName(*outcome.refused));
    if (words.size() > kShownRefusalLength) {
        const bool splitsPair = words.at(kShownRefusalLength - 1).isHighSurrogate();
        words = words.left(kShownRefusalLength - (splitsPair ? 1 : 0)) + QChar(0x2026);
    }
    MessageBox::Show(this, heading + QStringLiteral("\n\n") + words, tr("Error"), QMessageBox::Warning,
        QMessageBox::Ok);
}

long TBPropertySheet::OnMessage(int message)
{
    switch (message) {
    case WM_APPLY_SETTINGS:
        ReportRefusal(OnApplySettings(m_documents, m_runner), tr("The device refused the new settings:"));
        return 0;
    case WM_APPLY_RADIO_SETTINGS:
        ReportRefusal(OnApplyRadioSettings(m_documents, m_runner), tr("The device refused the new Ravlo settings:"));
        return 0;
    default:
        return PropertySheet::OnMessage(message);
    }
}

} // namespace tervane
