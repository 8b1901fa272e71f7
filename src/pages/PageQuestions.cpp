#include "PageQuestions.h"

#include "FileDialog.h"
#include "MessageBox.h"

#include <QCoreApplication>
#include <QFile>

namespace tervane {

PageQuestions::PageQuestions(QWidget* page, std::function<void()> documentsReplaced)
    : m_page(page)
    , m_documentsReplaced(std::move(documentsReplaced))
{
}

Answer PageQuestions::Ask(QuestionKind kind, const std::string& caption, const std::string& text)
{
    const bool retry = kind == QuestionKind::RetryCancel;
    // Fixed texts come out translated; texts made with a path or a reason have no entry and
    // come out as they are.
    const auto translated = [](const std::string& source) {
        return QCoreApplication::translate("tervane::ProcedureQuestions", source.c_str());
    };
    const QMessageBox::StandardButton button = MessageBox::Show(nullptr, translated(text), translated(caption),
        QMessageBox::Critical, retry ? (QMessageBox::Retry | QMessageBox::Cancel) : QMessageBox::Ok);
    if (!retry)
        return Answer::Ok;
    return button == QMessageBox::Retry ? Answer::Retry : Answer::Cancel;
}

std::optional<std::string> PageQuestions::ChooseSaveFile(const FileChoice& choice)
{
    const std::optional<QString> path = FileDialog::GetSaveFileName(m_page, choice);
    if (!path)
        return std::nullopt;
    return QFile::encodeName(*path).toStdString();
}

void PageQuestions::DocumentsReplaced()
{
    if (m_documentsReplaced)
        m_documentsReplaced();
}

} // namespace tervane
