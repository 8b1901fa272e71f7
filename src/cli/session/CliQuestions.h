#pragma once

#include "ProcedureQuestions.h"

#include <optional>
#include <string>

namespace tervane {

class CliSession;

// Answers the procedures' message boxes and file dialogs from the command line: an error
// message is reported as a failure, a Retry/Cancel question is answered Retry while
// retries are left (each noted on standard error) and Cancel after that, and a save
// dialog gets the path the command line named.
class CliQuestions : public ProcedureQuestions {
public:
    CliQuestions(CliSession& session, int retries);

    // What every save dialog is answered with, whatever name it proposes: the path as the
    // command line gave it (see SaveLocation). Without one a save dialog is cancelled.
    void SetSaveTarget(std::string path);

    Answer Ask(QuestionKind kind, const std::string& caption, const std::string& text) override;
    std::optional<std::string> ChooseSaveFile(const FileChoice& choice) override;

private:
    CliSession& m_session;
    const int m_retries;
    int m_retriesUsed = 0;
    std::optional<std::string> m_saveTarget;
};

// Where the command line puts a file: `target` itself, or `name` inside it when it is a
// folder ("" being the current one). `name` is the user's own, never the device's.
std::string SaveLocation(const std::string& target, const std::string& name);

// The first line of a message: a question's second line only tells which button to press.
std::string FirstLine(const std::string& text);

} // namespace tervane
