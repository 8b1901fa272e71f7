#pragma once

#include "DeviceRunner.h"
#include "ProcedureQuestions.h"
#include "SerialLink.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tervane::test {

// One message box a procedure raised.
struct Asked {
    QuestionKind kind;
    std::string caption;
    std::string text;
};

// Answers a procedure's questions from a script and records them. Retry/Cancel questions
// take the next scripted answer (a question nobody expected fails the test and is
// cancelled); error boxes need none.
class ScriptedQuestions : public ProcedureQuestions {
public:
    Answer Ask(QuestionKind kind, const std::string& caption, const std::string& text) override;
    std::optional<std::string> ChooseSaveFile(const FileChoice& choice) override;
    void DocumentsReplaced() override { events.push_back("documents"); }

    std::deque<Answer> answers;
    std::deque<std::optional<std::string>> savePaths;
    // Runs before a Retry/Cancel question is answered, e.g. to mend the device for the retry.
    std::function<void()> beforeAnswer;

    std::vector<Asked> asked;
    std::vector<FileChoice> saveChoices;
    std::vector<std::string> events;  // "ask", "save" and "documents" in the order they came
};

// A device without a port: every batch row is answered by `answer`, every upload succeeds.
// Batches and uploads are recorded as they were handed over.
class ScriptedRunner : public DeviceRunner {
public:
    void RunBatch(CommandBatch& batch) override;
    UploadResult Upload(const UploadSource& source) override;
    SerialLink& Link() override { return m_link; }

    std::function<void(USBCommand& row)> answer;
    std::vector<std::vector<USBCommand>> batches;
    std::vector<std::string> uploads;  // destinations

private:
    SerialLink m_link;
};

// A compact view of a row for comparing whole batches.
struct RowText {
    std::string command;
    std::string prompt;
    int timeout = 0;
    long long responseReserve = 0;
    bool operator==(const RowText&) const = default;
};
std::vector<RowText> RowsOf(const std::vector<USBCommand>& batch);
void PrintTo(const RowText& row, std::ostream* os);

} // namespace tervane::test
