#include "ProcedureTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

namespace tervane::test {

Answer ScriptedQuestions::Ask(QuestionKind kind, const std::string& caption, const std::string& text)
{
    asked.push_back({kind, caption, text});
    events.push_back("ask");
    if (kind == QuestionKind::Error)
        return Answer::Ok;
    if (beforeAnswer)
        beforeAnswer();
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << caption << ": " << text;
        return Answer::Cancel;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedQuestions::ChooseSaveFile(const FileChoice& choice)
{
    saveChoices.push_back(choice);
    events.push_back("save");
    if (savePaths.empty()) {
        ADD_FAILURE() << "unexpected save dialog for " << choice.initialName;
        return std::nullopt;
    }
    auto path = savePaths.front();
    savePaths.pop_front();
    return path;
}

void ScriptedRunner::RunBatch(CommandBatch& batch)
{
    for (USBCommand& row : batch) {
        if (row.command.empty())
            break;
        row.failed = 0;
        row.response.clear();
        if (answer)
            answer(row);
        // A streamed row takes the scripted answer as it would arrive, and keeps none.
        if (row.stream != nullptr) {
            row.stream->Take(row.response);
            row.response.clear();
        }
    }
    batches.emplace_back(batch.begin(), batch.end());
}

UploadResult ScriptedRunner::Upload(const UploadSource& source)
{
    uploads.push_back(source.Destination());
    UploadResult result;
    result.status = UploadStatus::Completed;
    return result;
}

std::vector<RowText> RowsOf(const std::vector<USBCommand>& batch)
{
    std::vector<RowText> rows;
    for (const USBCommand& row : batch)
        rows.push_back({row.command, row.prompt, row.timeout, row.responseReserve});
    return rows;
}

void PrintTo(const RowText& row, std::ostream* os)
{
    *os << "{" << ::testing::PrintToString(row.command) << ", \"" << row.prompt << "\", " << row.timeout << ", "
        << row.responseReserve << "}";
}

} // namespace tervane::test
