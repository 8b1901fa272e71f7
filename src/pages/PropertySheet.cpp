#include "PropertySheet.h"

#include "Captions.h"
#include "PropertyPage.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tervane {

namespace {

// Holds a page in its tab: asks for the page's whole size, and scrolls it when it gets less.
class PageScroller : public QScrollArea {
public:
    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        return widget() != nullptr ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
    }
};

} // namespace

PropertySheet::PropertySheet(const QString& caption, QWidget* parent)
    : QDialog(parent)
    , m_tabs(new QTabWidget(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this))
{
    setWindowTitle(caption);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    // A single row of tabs; where the captions do not fit (large fonts, a small screen) the
    // row scrolls rather than widening the window past the screen.
    m_tabs->setUsesScrollButtons(true);
    m_buttons->setObjectName(QStringLiteral("buttons"));
    ApplyButton()->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);

    connect(m_tabs, &QTabWidget::currentChanged, this, &PropertySheet::OnTabChanged);
    connect(OkButton(), &QPushButton::clicked, this, &PropertySheet::OnOk);
    connect(CancelButton(), &QPushButton::clicked, this, &QDialog::reject);
    connect(ApplyButton(), &QPushButton::clicked, this, [this] { Apply(); });
}

PropertySheet::~PropertySheet()
{
    // The pages belong to whoever made them: hand them back rather than delete them.
    const QSignalBlocker quiet(m_tabs);
    for (PropertyPage* page : m_pages) {
        QWidget* holder = Holder(page);
        m_tabs->removeTab(m_tabs->indexOf(holder));
        page->setParent(nullptr);
        page->m_sheet = nullptr;
        delete holder;
    }
}

void PropertySheet::AddPage(PropertyPage* page)
{
    page->m_sheet = this;
    BuddyCaptions(page);
    // The keys of OK, Cancel and Apply reach them from every page: no page takes them.
    QString sheetKeys;
    for (const QPushButton* button : {OkButton(), CancelButton(), ApplyButton()})
        if (const QChar key = AccessKeyOf(button->text()); !key.isNull())
            sheetKeys.append(key);
    AssignAccessKeys(page, sheetKeys);
    m_pages.push_back(page);
    // A page taller or wider than the room it gets scrolls, so the window fits a small screen
    // at large font sizes instead of growing past it.
    auto* holder = new PageScroller;
    holder->setObjectName(QStringLiteral("pageScroller"));
    holder->setWidgetResizable(true);
    holder->setFrameShape(QFrame::NoFrame);
    holder->setWidget(page);
    page->setAutoFillBackground(false);
    holder->viewport()->setAutoFillBackground(false);
    const QSignalBlocker quiet(m_tabs);
    m_tabs->addTab(holder, page->Caption());
    ShowTab(m_active);
    if (page->IsModified())
        OnPageModified(page, true);
}

int PropertySheet::GetPageCount() const
{
    return static_cast<int>(m_pages.size());
}

PropertyPage* PropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? m_pages[static_cast<std::size_t>(index)] : nullptr;
}

int PropertySheet::GetPageIndex(const PropertyPage* page) const
{
    const auto found = std::find(m_pages.begin(), m_pages.end(), page);
    return found == m_pages.end() ? -1 : static_cast<int>(found - m_pages.begin());
}

PropertyPage* PropertySheet::GetActivePage() const
{
    return GetPage(m_active);
}

void PropertySheet::ShowTab(int index)
{
    const QSignalBlocker quiet(m_tabs);
    if (index >= 0 && index < m_tabs->count())
        m_tabs->setCurrentIndex(index);
}

bool PropertySheet::SetActivePage(int index)
{
    if (index < 0 || index >= GetPageCount())
        return false;
    if (index == m_active) {
        ShowTab(index);
        return true;
    }
    if (PropertyPage* leaving = GetActivePage()) {
        // The leaving page stays in front while it checks its values, so its prompt and
        // the focus land on the page the user sees.
        ShowTab(m_active);
        if (!leaving->OnKillActive())
            return false;
    }
    m_active = index;
    ShowTab(index);
    ActivateCurrent();
    return true;
}

bool PropertySheet::SetActivePage(PropertyPage* page)
{
    return SetActivePage(GetPageIndex(page));
}

void PropertySheet::ActivateCurrent()
{
    PropertyPage* page = GetActivePage();
    if (page == nullptr)
        return;
    page->EnsureWindow();
    page->OnSetActive();
}

void PropertySheet::OnTabChanged(int index)
{
    if (m_switching)
        return;
    m_switching = true;
    SetActivePage(index);
    m_switching = false;
}

void PropertySheet::showEvent(QShowEvent* event)
{
    // Unless someone chose the size, the window opens at the pages' natural size as far as
    // the screen allows (Qt alone would stop at two thirds of the screen).
    if (!m_sized && !testAttribute(Qt::WA_Resized))
        resize(sizeHint());
    m_sized = true;
    if (m_active < 0 && GetPageCount() > 0)
        SetActivePage(0);
    QDialog::showEvent(event);
}

int PropertySheet::DoModal()
{
    if (m_active < 0 && GetPageCount() > 0)
        SetActivePage(0);
    return exec();
}

bool PropertySheet::Apply()
{
    if (PropertyPage* visible = GetActivePage(); visible && !visible->OnKillActive())
        return false;
    // A copy: a handler may run a nested loop in which pages come or go.
    const std::vector<PropertyPage*> pages = m_pages;
    for (PropertyPage* page : pages) {
        if (GetPageIndex(page) < 0 || !page->HasWindow())
            continue;
        if (!page->OnApply()) {
            SetActivePage(page);
            return false;
        }
    }
    for (PropertyPage* page : m_pages)
        page->m_modified = false;
    m_modified.clear();
    ApplyButton()->setEnabled(false);
    return true;
}

bool PropertySheet::IsApplyEnabled() const
{
    return ApplyButton()->isEnabled();
}

void PropertySheet::OnOk()
{
    if (Apply())
        accept();
}

long PropertySheet::SendMessage(int message)
{
    return OnMessage(message);
}

long PropertySheet::OnMessage(int)
{
    return 0;
}

QWidget* PropertySheet::Holder(PropertyPage* page) const
{
    // The page sits in the scroll area's viewport.
    QWidget* viewport = page->parentWidget();
    auto* holder = qobject_cast<QScrollArea*>(viewport != nullptr ? viewport->parentWidget() : nullptr);
    return holder != nullptr && holder->widget() == page ? holder : nullptr;
}

QSize PropertySheet::sizeHint() const
{
    // The pages at their natural size with every tab caption in sight, as far as the screen
    // has room for them. (With scroll buttons the tabs alone would ask for no more than 200
    // pixels.)
    QSize natural = QDialog::sizeHint();
    const int tabsWidth =
        m_tabs->tabBar()->sizeHint().width() + 2 * m_tabs->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    natural.setWidth(std::max(natural.width(), tabsWidth + natural.width() - m_tabs->sizeHint().width()));
    if (const QScreen* shown = screen()) {
        // At a fractional scale the screen's size in device-independent pixels is rounded
        // (1024 pixels at 1.5 give 683, which are 1025): the room is what fits in whole pixels.
        const qreal ratio = shown->devicePixelRatio();
        const QSize available = shown->availableGeometry().size();
        const auto fit = [ratio](int length) {
            return static_cast<int>(std::floor(std::floor(length * ratio + 1e-6) / ratio + 1e-6));
        };
        const QSize room(fit(available.width()), fit(available.height()));
        natural = natural.boundedTo(room - (frameGeometry().size() - size()));
    }
    return natural.expandedTo(minimumSizeHint());
}

QPushButton* PropertySheet::OkButton() const
{
    return m_buttons->button(QDialogButtonBox::Ok);
}

QPushButton* PropertySheet::CancelButton() const
{
    return m_buttons->button(QDialogButtonBox::Cancel);
}

QPushButton* PropertySheet::ApplyButton() const
{
    return m_buttons->button(QDialogButtonBox::Apply);
}

void PropertySheet::OnPageModified(PropertyPage* page, bool changed)
{
    if (changed)
        m_modified.insert(page);
    else
        m_modified.erase(page);
    ApplyButton()->setEnabled(!m_modified.empty());
}

void PropertySheet::ForgetPage(PropertyPage* page)
{
    m_modified.erase(page);
    const auto found = std::find(m_pages.begin(), m_pages.end(), page);
    if (found == m_pages.end())
        return;
    const int index = static_cast<int>(found - m_pages.begin());
    m_pages.erase(found);
    {
        const QSignalBlocker quiet(m_tabs);
        QWidget* holder = Holder(page);
        m_tabs->removeTab(m_tabs->indexOf(holder));
        page->setParent(nullptr);
        delete holder;
    }
    if (m_active == index)
        m_active = -1;
    else if (m_active > index)
        --m_active;
    ApplyButton()->setEnabled(!m_modified.empty());
}

} // namespace tervane
