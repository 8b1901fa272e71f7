#include "PropertyPage.h"

#include <QCoreApplication>

#include "ChoiceList.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "ProcedureSteps.h"
#include "PropertySheet.h"
#include "RciDocuments.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

#include <limits>

namespace tervane {

namespace {

QString FromField(const std::string& text)
{
    return QString::fromStdString(text);
}

// A read-only edit or a label shows what the device said, not what the user typed: its
// control characters (C0 and C1, a stray byte 0x80 to 0x9F included) show as "?", as the
// tool shows them. Nothing is read back from it.
bool ShowsDeviceText(const QWidget* control)
{
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->isReadOnly();
    return qobject_cast<const QLabel*>(control) != nullptr;
}

} // namespace

QString SettingsNotReadPrompt(bool deviceAnsweredError)
{
    if (!deviceAnsweredError) {
        return QCoreApplication::translate("tervane::PropertyPage",
            "The settings could not be sent because they could not be read from the device. "
            "Press Refresh on the Device Information page to read them again, then apply once more.");
    }
    return QCoreApplication::translate("tervane::PropertyPage",
        "The settings could not be sent because they could not be read from the device (the device answered "
        "ERROR). Press Refresh on the Device Information page to read them again, then apply once more.");
}

QString WholeNumberPrompt()
{
    return QCoreApplication::translate("tervane::PropertyPage", "Please enter a whole number.");
}

QString WholeNumberRangePrompt(int32_t minimum, int32_t maximum)
{
    return QCoreApplication::translate("tervane::PropertyPage", "Please enter a whole number between %1 and %2.")
        .arg(minimum)
        .arg(maximum);
}

bool ParseWholeNumber(const QString& text, int32_t& value)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    int at = 0;
    bool negative = false;
    if (trimmed[0] == u'+' || trimmed[0] == u'-') {
        negative = trimmed[0] == u'-';
        ++at;
    }
    if (at >= trimmed.size())
        return false;
    long long number = 0;
    for (; at < trimmed.size(); ++at) {
        const QChar c = trimmed[at];
        if (c < u'0' || c > u'9')
            return false;
        number = number * 10 + (c.unicode() - u'0');
        if (number > 2147483648LL)
            return false;
    }
    if (negative)
        number = -number;
    if (number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max())
        return false;
    value = static_cast<int32_t>(number);
    return true;
}

PropertyPage::PropertyPage(const QString& caption, RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : QWidget(parent)
    , m_caption(caption)
    , m_documents(documents)
    , m_runner(runner)
{
}

PropertyPage::~PropertyPage()
{
    if (m_sheet)
        m_sheet->ForgetPage(this);
}

bool PropertyPage::OnInitDialog()
{
    UpdateData(false);
    return true;
}

bool PropertyPage::OnSetActive()
{
    if (m_firstSetActive)
        m_firstSetActive = false;
    else
        UpdateData(false);
    return true;
}

bool PropertyPage::OnKillActive()
{
    return UpdateData(true);
}

bool PropertyPage::OnApply()
{
    return true;
}

void PropertyPage::EnsureWindow()
{
    if (m_hasWindow)
        return;
    m_hasWindow = true;
    OnInitDialog();
}

bool PropertyPage::UpdateData(bool saveAndValidate)
{
    return DoDataExchange(saveAndValidate);
}

bool PropertyPage::DoDataExchange(bool saveAndValidate)
{
    for (const Exchange& exchange : m_exchanges)
        if (!ExchangeOne(exchange, saveAndValidate))
            return false;
    return true;
}

bool PropertyPage::ExchangeOne(const Exchange& exchange, bool saveAndValidate)
{
    QWidget* control = GetDlgItem(exchange.controlId);
    if (control == nullptr)
        return true;
    switch (exchange.kind) {
    case ExchangeKind::Text:
        if (ShowsDeviceText(control)) {
            if (!saveAndValidate)
                SetDlgItemText(exchange.controlId, FromField(ShownName(m_fields.Text(exchange.field))));
        } else if (saveAndValidate) {
            m_fields.SetText(exchange.field, GetDlgItemText(exchange.controlId).toStdString());
        } else {
            SetDlgItemText(exchange.controlId, FromField(m_fields.Text(exchange.field)));
        }
        return true;
    case ExchangeKind::Int:
        if (!saveAndValidate) {
            SetDlgItemText(exchange.controlId, QString::number(m_fields.Int(exchange.field)));
            return true;
        } else {
            int32_t value = 0;
            if (!ParseWholeNumber(GetDlgItemText(exchange.controlId), value))
                return FailExchange(exchange.controlId, WholeNumberPrompt());
            if (value < exchange.minimum || value > exchange.maximum)
                return FailExchange(exchange.controlId, WholeNumberRangePrompt(exchange.minimum, exchange.maximum));
            m_fields.SetInt(exchange.field, value);
            return true;
        }
    case ExchangeKind::Check:
        if (auto* box = qobject_cast<QAbstractButton*>(control)) {
            if (saveAndValidate)
                m_fields.SetInt(exchange.field, box->isChecked() ? 1 : 0);
            else
                box->setChecked(m_fields.Int(exchange.field) == 1);
        }
        return true;
    case ExchangeKind::Choice:
        if (auto* list = qobject_cast<QComboBox*>(control)) {
            if (saveAndValidate) {
                m_fields.SetText(exchange.field, list->currentText().toStdString());
            } else {
                std::vector<std::string> entries;
                for (int i = 0; i < list->count(); ++i)
                    entries.push_back(list->itemText(i).toStdString());
                const int found = FindChoice(entries, m_fields.Text(exchange.field));
                if (found >= 0)
                    list->setCurrentIndex(found);
            }
        }
        return true;
    }
    return true;
}

bool PropertyPage::FailExchange(int controlId, const QString& prompt)
{
    MessageBox::Show(this, prompt, QString::fromUtf8(kProductTitle), QMessageBox::Warning, QMessageBox::Ok);
    if (QWidget* control = GetDlgItem(controlId)) {
        control->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            edit->selectAll();
    }
    return false;
}

void PropertyPage::SetModified(bool changed)
{
    m_modified = changed;
    if (m_sheet)
        m_sheet->OnPageModified(this, changed);
}

bool PropertyPage::IsActivePage() const
{
    return m_sheet != nullptr && m_sheet->GetActivePage() == this;
}

long PropertyPage::SendMessageToSheet(int message)
{
    return m_sheet ? m_sheet->SendMessage(message) : 0;
}

QWidget* PropertyPage::GetDlgItem(int controlId) const
{
    const auto found = m_controls.find(controlId);
    return found == m_controls.end() ? nullptr : found->second;
}

void PropertyPage::ShowControl(int controlId, bool shown)
{
    if (QWidget* control = GetDlgItem(controlId))
        control->setVisible(shown);
}

bool PropertyPage::IsControlShown(int controlId) const
{
    const QWidget* control = GetDlgItem(controlId);
    return control != nullptr && !control->isHidden();
}

void PropertyPage::EnableControl(int controlId, bool enabled)
{
    if (QWidget* control = GetDlgItem(controlId))
        control->setEnabled(enabled);
}

void PropertyPage::HideAllControls()
{
    for (const auto& [id, control] : m_controls)
        control->hide();
}

void PropertyPage::SetDlgItemText(int controlId, const QString& text)
{
    QWidget* control = GetDlgItem(controlId);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* list = qobject_cast<QComboBox*>(control); list && list->isEditable())
        list->setEditText(text);
}

QString PropertyPage::GetDlgItemText(int controlId) const
{
    const QWidget* control = GetDlgItem(controlId);
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (auto* list = qobject_cast<const QComboBox*>(control))
        return list->currentText();
    return {};
}

std::vector<int> PropertyPage::ControlIds() const
{
    return m_controlOrder;
}

void PropertyPage::LoadBindings(xmlNodePtr root)
{
    tervane::LoadBindings([this](int32_t controlId) { ShowControl(controlId); }, m_bindings, m_fields, root);
}

void PropertyPage::StoreBindings(xmlNodePtr root)
{
    tervane::StoreBindings(m_bindings, m_fields, root);
}

void PropertyPage::FillChoiceLists()
{
    for (const BindingRecord& record : m_bindings) {
        if (record.path.empty())
            break;
        if ((record.kindFlags & BIND_CHOICES) && record.controlId != 0)
            FillChoiceList(record.controlId, record.choiceList);
    }
}

void PropertyPage::FillChoiceList(int controlId, std::string_view choiceList)
{
    auto* list = Control<QComboBox>(controlId);
    if (list == nullptr)
        return;
    const QSignalBlocker quiet(list);
    list->clear();
    for (const std::string& entry : SplitChoices(choiceList))
        list->addItem(QString::fromStdString(entry));
}

bool PropertyPage::ApplyBindings(DocumentRoot root, int message)
{
    return ApplyBindings(root, message, m_bindings);
}

bool PropertyPage::ApplyBindings(DocumentRoot root, int message, const BindingTable& storedRows)
{
    if (IsActivePage()) {
        // Without the device's settings there is nothing to write the values into, and so
        // nothing to send: the user is told, and the values stay on the page, still unapplied.
        if ((m_documents.*root)() == nullptr) {
            const bool answeredError = root == &RciDocuments::RadioSettingsRoot
                ? m_documents.RadioSettingsAnsweredError()
                : m_documents.SettingsAnsweredError();
            MessageBox::Show(this, SettingsNotReadPrompt(answeredError), tr("Error"), QMessageBox::Critical,
                QMessageBox::Ok);
            return false;
        }
        tervane::StoreBindings(storedRows, m_fields, (m_documents.*root)());
        SendMessageToSheet(message);
        SetModified(false);
        // The send replaced the document: its root is read again.
        LoadBindings((m_documents.*root)());
        UpdateData(false);
    }
    return PropertyPage::OnApply();
}

void PropertyPage::OnFieldChange()
{
    SetModified(true);
}

void PropertyPage::RegisterControl(int controlId, QWidget* control)
{
    if (control->parent() != this && !isAncestorOf(control))
        control->setParent(this);
    if (control->objectName().isEmpty())
        control->setObjectName(QStringLiteral("ctl%1").arg(controlId));
    if (m_controls.emplace(controlId, control).second)
        m_controlOrder.push_back(controlId);
    else
        m_controls[controlId] = control;
}

void PropertyPage::ExchangeText(int controlId, FieldId field)
{
    m_exchanges.push_back({controlId, field, ExchangeKind::Text, 0, 0});
}

void PropertyPage::ExchangeInt(int controlId, FieldId field, int32_t minimum, int32_t maximum)
{
    m_exchanges.push_back({controlId, field, ExchangeKind::Int, minimum, maximum});
}

void PropertyPage::ExchangeCheck(int controlId, FieldId field)
{
    m_exchanges.push_back({controlId, field, ExchangeKind::Check, 0, 0});
}

void PropertyPage::ExchangeChoice(int controlId, FieldId field)
{
    m_exchanges.push_back({controlId, field, ExchangeKind::Choice, 0, 0});
}

void PropertyPage::RouteToFieldChange(int controlId)
{
    QWidget* control = GetDlgItem(controlId);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        connect(edit, &QLineEdit::textEdited, this, &PropertyPage::OnFieldChange);
    else if (auto* list = qobject_cast<QComboBox*>(control))
        connect(list, &QComboBox::activated, this, &PropertyPage::OnFieldChange);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        connect(button, &QAbstractButton::clicked, this, &PropertyPage::OnFieldChange);
}

void PropertyPage::BrowseForFile(int controlId, FieldId field, const FileChoice& choice)
{
    FileChoice proposed = choice;
    proposed.initialName = m_fields.Text(field);
    if (const std::optional<QString> path = FileDialog::GetOpenFileName(this, proposed))
        m_fields.SetText(field, path->toStdString());
    SetDlgItemText(controlId, QString::fromStdString(m_fields.Text(field)));
}

std::string PropertyPage::LocalPath(FieldId field) const
{
    return QFile::encodeName(QString::fromStdString(m_fields.Text(field))).toStdString();
}

} // namespace tervane
