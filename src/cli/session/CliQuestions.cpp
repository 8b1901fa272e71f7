#include "CliQuestions.h"

#include "CliSession.h"

#include <sys/stat.h>

namespace tervane {

std::string FirstLine(const std::string& text)
{
    const auto end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

CliQuestions::CliQuestions(CliSession& session, int retries)
    : m_session(session)
    , m_retries(retries)
{
}

std::string SaveLocation(const std::string& target, const std::string& name)
{
    if (target.empty())
        return name;
    struct stat info {};
    if (target.back() == '/' || (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)))
        return target + (target.back() == '/' ? "" : "/") + name;
    return target;
}

void CliQuestions::SetSaveTarget(std::string path)
{
    m_saveTarget = std::move(path);
}

Answer CliQuestions::Ask(QuestionKind kind, const std::string& /*caption*/, const std::string& text)
{
    // A device the link gave up on is not asked again: the reason is the failure.
    if (m_session.DeviceGone()) {
        m_session.Fail(kExitRefused,
            FirstLine(text) + " The device on " + m_session.PortName() + " went away and did not come back.");
        return kind == QuestionKind::RetryCancel ? Answer::Cancel : Answer::Ok;
    }
    if (kind == QuestionKind::RetryCancel && m_retriesUsed < m_retries) {
        ++m_retriesUsed;
        m_session.Note(FirstLine(text) + " Trying again (" + std::to_string(m_retriesUsed) + " of "
            + std::to_string(m_retries) + ").");
        return Answer::Retry;
    }
    if (kind == QuestionKind::RetryCancel) {
        m_session.Fail(kExitRefused, FirstLine(text)
                + (m_retries > 0 ? " Gave up after " + std::to_string(m_retries) + " retries." : ""));
        return Answer::Cancel;
    }
    m_session.Fail(kExitRefused, text);
    return Answer::Ok;
}

std::optional<std::string> CliQuestions::ChooseSaveFile(const FileChoice& /*choice*/)
{
    return m_saveTarget;
}

} // namespace tervane
