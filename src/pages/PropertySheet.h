#pragma once

#include <QDialog>

#include <set>
#include <vector>

class QDialogButtonBox;
class QPushButton;
class QTabWidget;

namespace tervane {

class PropertyPage;

// Messages pages send to the sheet; the sheet's handlers answer them synchronously.
inline constexpr int WM_USER = 0x0400;
inline constexpr int WM_APPLY_SETTINGS = WM_USER + 100;
inline constexpr int WM_APPLY_RADIO_SETTINGS = WM_USER + 101;

// A modal tabbed sheet of pages with OK, Cancel and Apply, driving each page's life:
// OnInitDialog when a page is first shown, OnSetActive whenever it becomes the visible tab,
// OnKillActive before it is left (a refusal keeps it in front), and on Apply or OK the visible
// page's OnKillActive followed by OnApply on every page that has its window. Apply is
// enabled while any page is marked modified; a fully successful apply clears the marks.
class PropertySheet : public QDialog {
    Q_OBJECT

public:
    explicit PropertySheet(const QString& caption, QWidget* parent = nullptr);
    ~PropertySheet() override;

    // Appends a tab. The sheet does not own the page: whoever made it deletes it, which also
    // takes its tab away.
    void AddPage(PropertyPage* page);
    int GetPageCount() const;
    PropertyPage* GetPage(int index) const;
    int GetPageIndex(const PropertyPage* page) const;
    PropertyPage* GetActivePage() const;
    int GetActiveIndex() const { return m_active; }
    // Makes a page the visible one, through the leaving page's OnKillActive; false when that
    // page refused.
    bool SetActivePage(int index);
    bool SetActivePage(PropertyPage* page);

    // Runs the sheet modally with the first page in front.
    int DoModal();

    // Apply as the button does it; false when a page refused.
    bool Apply();
    bool IsApplyEnabled() const;

    // Hands a page's message to OnMessage.
    long SendMessage(int message);

    QTabWidget* Tabs() const { return m_tabs; }
    QPushButton* OkButton() const;
    QPushButton* CancelButton() const;
    QPushButton* ApplyButton() const;

    // The pages' natural size, bounded by the room the screen has for the window.
    QSize sizeHint() const override;

protected:
    // The handlers of the pages' messages; the sheet itself handles none and answers 0.
    virtual long OnMessage(int message);

    void showEvent(QShowEvent* event) override;

private:
    friend class PropertyPage;
    void OnPageModified(PropertyPage* page, bool changed);
    void ForgetPage(PropertyPage* page);
    void OnTabChanged(int index);
    void OnOk();
    void ActivateCurrent();
    void ShowTab(int index);
    // The scroll area holding a page in its tab.
    QWidget* Holder(PropertyPage* page) const;

    QTabWidget* m_tabs;
    QDialogButtonBox* m_buttons;
    std::vector<PropertyPage*> m_pages;
    std::set<const PropertyPage*> m_modified;
    int m_active = -1;
    bool m_switching = false;
    bool m_sized = false;
};

} // namespace tervane
