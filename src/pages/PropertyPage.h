#pragma once

#include "BindingTable.h"
#include "FieldStore.h"
#include "ProcedureQuestions.h"
#include "ProductTitle.h"

#include <QString>
#include <QWidget>

#include <libxml/tree.h>

#include <cstdint>
#include <map>
#include <vector>

namespace tervane {

class DeviceRunner;
class PropertySheet;
class RciDocuments;

// One tab of the property sheet, with the life every page shares.
//
// Building a page (in its constructor, which is its dialog template):
//   - create the controls and register each under its id with AddControl(id, widget); from
//     then on the page addresses them only by id (GetDlgItem, Control<T>, ShowControl, ...),
//     so binding tables and visibility rules stay data;
//   - keep the values in Fields() (FieldStore), usually under the id of the control that
//     shows them, and declare which control exchanges with which field: ExchangeText,
//     ExchangeInt (with its range check), ExchangeCheck, ExchangeChoice;
//   - write the binding rows into Bindings();
//   - route the controls whose edits should enable Apply with RouteToFieldChange(id).
//
// The sheet then drives the page:
//   - OnInitDialog once, when the page is first shown ("the page window exists" from then on,
//     HasWindow); the default copies the fields into the controls (UpdateData(false));
//   - OnSetActive each time the page becomes the visible tab; the default copies the fields
//     into the controls on every activation but the first;
//   - OnKillActive when the page is about to be left, and before Apply or OK; the default
//     reads the controls into the fields with their range checks (UpdateData(true)): a value
//     out of range is reported ("Please enter a whole number between 1 and 255."), the
//     keyboard focus goes to its control and false keeps the page in front;
//   - OnApply on every page that has its window, after the visible page's OnKillActive. A
//     page acts only when it is the sheet's active page (IsActivePage); the default acts on
//     nothing and returns true. ApplyBindings is the whole apply of a page that stores its
//     table into one document; SendMessageToSheet(WM_APPLY_SETTINGS or
//     WM_APPLY_RADIO_SETTINGS, from PropertySheet.h) is its step that sends the document.
//
// SetModified(true) marks the page changed, which enables the sheet's Apply button; the
// button stays enabled while any page is marked. OnFieldChange does exactly that and is the
// one change handler of the pages. Only the user's own edits reach it: filling the controls
// from the fields never marks a page changed.
//
// Window's thread only. Device work goes through Runner(), whose batches run behind modal
// progress dialogs in the dashboard.
class PropertyPage : public QWidget {
    Q_OBJECT

public:
    PropertyPage(const QString& caption, RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);
    ~PropertyPage() override;

    // The tab caption.
    const QString& Caption() const { return m_caption; }

    // Framework life, called by the sheet. Overrides usually call the base version.
    virtual bool OnInitDialog();
    virtual bool OnSetActive();
    virtual bool OnKillActive();
    virtual bool OnApply();

    // Runs OnInitDialog the first time; the sheet calls this before the page is first shown.
    void EnsureWindow();
    // OnInitDialog has run.
    bool HasWindow() const { return m_hasWindow; }

    // false: fields into controls. true: controls into fields with the range checks; false
    // when a check failed (the user has been told and the control has the focus).
    bool UpdateData(bool saveAndValidate = true);

    // Marks the page changed or not; the sheet's Apply button follows.
    void SetModified(bool changed = true);
    bool IsModified() const { return m_modified; }

    // The sheet holding the page, or none before it is added.
    PropertySheet* Sheet() const { return m_sheet; }
    // The page is the sheet's visible page.
    bool IsActivePage() const;
    // Hands a message (WM_APPLY_SETTINGS, WM_APPLY_RADIO_SETTINGS) to the sheet and returns
    // once it has been handled; 0 when the page is in no sheet.
    long SendMessageToSheet(int message);

    // Controls by id. Control<T> is none when the id is unknown or names another kind.
    QWidget* GetDlgItem(int controlId) const;
    template <class T>
    T* Control(int controlId) const
    {
        return qobject_cast<T*>(GetDlgItem(controlId));
    }
    void ShowControl(int controlId, bool shown = true);
    bool IsControlShown(int controlId) const;
    void EnableControl(int controlId, bool enabled = true);
    // Hides every registered control.
    void HideAllControls();
    // The text of an edit, label, button or the displayed entry of a list.
    void SetDlgItemText(int controlId, const QString& text);
    QString GetDlgItemText(int controlId) const;
    // Ids in registration order.
    std::vector<int> ControlIds() const;

    // The page's values and its binding table.
    FieldStore& Fields() { return m_fields; }
    const FieldStore& Fields() const { return m_fields; }
    BindingTable& Bindings() { return m_bindings; }
    const BindingTable& Bindings() const { return m_bindings; }

    // The binding table moved through a document root; loading shows the controls of the
    // settings found.
    void LoadBindings(xmlNodePtr root);
    void StoreBindings(xmlNodePtr root);
    // Fills the drop-down list of every BIND_CHOICES row that names a control from its choice list.
    void FillChoiceLists();
    void FillChoiceList(int controlId, std::string_view choiceList);

    // The application's documents and the way to the device.
    RciDocuments& Documents() const { return m_documents; }
    DeviceRunner& Runner() const { return m_runner; }

    // The "Browse..." of a path edit: an open-file dialog proposing the field's path; a chosen
    // path replaces it. Only that edit is shown again, so typing elsewhere on the page stays.
    void BrowseForFile(int controlId, FieldId field, const FileChoice& choice);
    // A path field as the file system spells it.
    std::string LocalPath(FieldId field) const;

    // Which document a page binds: &RciDocuments::SettingsRoot, ::StateRoot or ::RadioSettingsRoot.
    using DocumentRoot = xmlNodePtr (RciDocuments::*)() const;

    // The apply of a page with a binding table: when this is the sheet's active page,
    // StoreBindings into the document, send `message` to the sheet and wait, SetModified(false),
    // LoadBindings from the document's new root and UpdateData(false), and return the base
    // OnApply's result. When the document has not been read from the device (its root is
    // none) nothing is stored or sent: the user is told (SettingsNotReadPrompt, caption
    // "Error"), the page stays modified and false keeps it in front.
    bool ApplyBindings(DocumentRoot root, int message);
    // The same with the rows to store given: a page that keeps some of its values as the
    // device reported them leaves their rows out.
    bool ApplyBindings(DocumentRoot root, int message, const BindingTable& storedRows);

public slots:
    // The shared change handler: marks the page changed.
    void OnFieldChange();

protected:
    // Registers `control` under `controlId`, makes it a child of the page and gives it the
    // object name "ctl<id>" unless it has one. Returns the control.
    template <class T>
    T* AddControl(int controlId, T* control)
    {
        RegisterControl(controlId, control);
        return control;
    }
    // The same, with the object name tests and style sheets know the control by.
    template <class T>
    T* AddControl(int controlId, const char* objectName, T* control)
    {
        control->setObjectName(QString::fromLatin1(objectName));
        RegisterControl(controlId, control);
        return control;
    }
    void RegisterControl(int controlId, QWidget* control);

    // Exchanges declared in the constructor, run by UpdateData in declaration order.
    // Text: a line edit, label or editable list with a text field.
    void ExchangeText(int controlId, FieldId field);
    // A whole number in an edit, checked against [minimum, maximum] when read.
    void ExchangeInt(int controlId, FieldId field, int32_t minimum, int32_t maximum);
    // A check box with a 0/1 field.
    void ExchangeCheck(int controlId, FieldId field);
    // A drop-down list with a text field: the entry that begins with the text is selected.
    void ExchangeChoice(int controlId, FieldId field);

    // Connects the user's edits of the control (text typed, entry chosen, box clicked) to
    // OnFieldChange.
    void RouteToFieldChange(int controlId);

    // The exchange itself; the default runs the declared exchanges and stops at the first
    // refused value. Pages with conversions of their own override it and call the base.
    virtual bool DoDataExchange(bool saveAndValidate);

    // Refuses a value: tells the user with `prompt`, moves the focus to the control and
    // selects its text. Returns false for DoDataExchange to return.
    bool FailExchange(int controlId, const QString& prompt);

private:
    friend class PropertySheet;

    enum class ExchangeKind { Text, Int, Check, Choice };
    struct Exchange {
        int controlId;
        FieldId field;
        ExchangeKind kind;
        int32_t minimum;
        int32_t maximum;
    };

    bool ExchangeOne(const Exchange& exchange, bool saveAndValidate);

    QString m_caption;
    RciDocuments& m_documents;
    DeviceRunner& m_runner;
    PropertySheet* m_sheet = nullptr;
    std::map<int, QWidget*> m_controls;
    std::vector<int> m_controlOrder;
    std::vector<Exchange> m_exchanges;
    FieldStore m_fields;
    BindingTable m_bindings;
    bool m_hasWindow = false;
    bool m_firstSetActive = true;
    bool m_modified = false;
};

// The prompt of an apply whose document could not be read from the device; it says so when
// the device answered ERROR. Why the parser refused a reply goes to the command log only.
QString SettingsNotReadPrompt(bool deviceAnsweredError = false);

// The prompts of a refused number.
QString WholeNumberPrompt();
QString WholeNumberRangePrompt(int32_t minimum, int32_t maximum);

// Reads a whole number the way a numeric edit is checked: blanks around it, an optional sign
// and decimal figures only, within 32 bits. False otherwise.
bool ParseWholeNumber(const QString& text, int32_t& value);

} // namespace tervane
