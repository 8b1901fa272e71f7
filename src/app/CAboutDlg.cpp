#include "CAboutDlg.h"

#include "AppImages.h"
#include "CHyperLink.h"
#include "PropertyPage.h"
#include "StartupLog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tervane {

CAboutDlg::CAboutDlg(QWidget* owner, const QString& webAddress)
    : QDialog(owner)
    , m_webAddress(webAddress)
    , m_title(new QLabel(this))
    , m_version(new QLabel(this))
    , m_legalNotice(new QLabel(this))
    , m_visitUs(new QLabel(this))
    , m_link(new CHyperLink(this))
{
    setObjectName(QStringLiteral("CAboutDlg"));
    m_title->setObjectName(QStringLiteral("title"));
    m_version->setObjectName(QStringLiteral("version"));
    m_legalNotice->setObjectName(QStringLiteral("legalNotice"));
    m_visitUs->setObjectName(QStringLiteral("visitUs"));
    m_link->setObjectName(QStringLiteral("link"));
    m_link->SetControlId(IDC_LINK);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    QFont bold = m_title->font();
    bold.setWeight(QFont::Bold);
    m_title->setFont(bold);

    const QString title = QString::fromUtf8(kProductTitle);
    m_title->setText(title);
    setWindowTitle(tr("About %1").arg(title));
    m_version->setText(QString::fromStdString(ProductVersionText()));
    m_legalNotice->setText(QString::fromUtf8(kMakerLegalNotice));

    if (!m_webAddress.isEmpty()) {
        m_link->setText(m_webAddress);
        m_visitUs->setText(tr("Visit us at"));
        m_link->SetNotifyMode(true);
    } else {
        m_link->setEnabled(false);
        m_link->hide();
        m_visitUs->setEnabled(false);
        m_visitUs->hide();
    }
    connect(m_link, &CHyperLink::linkClicked, this, &CAboutDlg::OnLinkClicked);

    auto* linkRow = new QHBoxLayout;
    linkRow->setSpacing(4);
    linkRow->addWidget(m_visitUs);
    linkRow->addWidget(m_link);
    linkRow->addStretch(1);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(m_title);
    texts->addWidget(m_version);
    texts->addSpacing(8);
    texts->addWidget(m_legalNotice);
    texts->addLayout(linkRow);

    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setCenterButtons(true);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Ok)->setFocus();
}

QLabel* CAboutDlg::Label(int controlId) const
{
    switch (controlId) {
    case IDC_TITLE:
        return m_title;
    case IDC_VERSION:
        return m_version;
    case IDC_LEGAL_NOTICE:
        return m_legalNotice;
    case IDC_VISIT_US:
        return m_visitUs;
    case IDC_LINK:
        return m_link;
    default:
        return nullptr;
    }
}

void CAboutDlg::OnLinkClicked(int)
{
    if (!m_webAddress.isEmpty())
        QDesktopServices::openUrl(QUrl(m_webAddress));
}

} // namespace tervane
