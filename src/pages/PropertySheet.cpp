#include "PropertySheet.h"

#include "PropertyPage.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tervane {

PropertySheet::PropertySheet(const QString& caption, QWidget* parent)
    : QDialog(parent)
    , m_tabs(new QTabWidget(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this))
{
    setWindowTitle(caption);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    // Every tab caption in sight at once, as in a sheet with a single row of tabs.
    m_tabs->setUsesScrollButtons(false);
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
        m_tabs->removeTab(m_tabs->indexOf(page));
        page->setParent(nullptr);
        page->m_sheet = nullptr;
    }
}

void PropertySheet::AddPage(PropertyPage* page)
{
    page->m_sheet = this;
    m_pages.push_back(page);
    const QSignalBlocker quiet(m_tabs);
    m_tabs->addTab(page, page->Caption());
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
        m_tabs->removeTab(m_tabs->indexOf(page));
    }
    if (m_active == index)
        m_active = -1;
    else if (m_active > index)
        --m_active;
    ApplyButton()->setEnabled(!m_modified.empty());
}

} // namespace tervane
