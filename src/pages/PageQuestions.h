#pragma once

#include "ProcedureQuestions.h"

#include <functional>

class QWidget;

namespace tervane {

// A page's answers to a procedure's questions: the program's message boxes (no owner
// window, the error icon) and file dialogs over the page.
class PageQuestions : public ProcedureQuestions {
public:
    explicit PageQuestions(QWidget* page, std::function<void()> documentsReplaced = {});

    Answer Ask(QuestionKind kind, const std::string& caption, const std::string& text) override;
    std::optional<std::string> ChooseSaveFile(const FileChoice& choice) override;
    void DocumentsReplaced() override;

private:
    QWidget* m_page;
    std::function<void()> m_documentsReplaced;
};

} // namespace tervane
