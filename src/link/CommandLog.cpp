#include "CommandLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace tervane {

namespace {
constexpr std::string_view kRule =
    "*******************************************************************************\r\n";
static_assert(kRule.size() == 79 + 2);
constexpr std::string_view kEol = "\r\n";
}

CommandLog::~CommandLog()
{
    Close();
}

bool CommandLog::Open(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    if (m_file)
        return true;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    m_file = ::fdopen(fd, "ab");
    if (!m_file) {
        ::close(fd);
        return false;
    }
    return true;
}

void CommandLog::Close()
{
    std::lock_guard lock(m_mutex);
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

bool CommandLog::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_file != nullptr;
}

void CommandLog::Put(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), m_file);
}

void CommandLog::PutRule()
{
    Put(kRule);
}

void CommandLog::Flush()
{
    std::fflush(m_file);
}

void CommandLog::WriteBanner(std::string_view title, std::string_view version, std::string_view ctimeText)
{
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return;
    // The time text ends with the line feed of ctime; like every line end here it becomes CR LF.
    std::string line = std::string(title) + " " + std::string(version) + " STARTED AT " + std::string(ctimeText);
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    PutRule();
    Put(line);
    Put(kEol);
    PutRule();
}

void CommandLog::WriteSection(std::string_view heading, std::string_view text)
{
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return;
    Put(heading);
    Put("\r\n");
    PutRule();
    Put(text);
    Put(kEol);
    PutRule();
    Flush();
}

void CommandLog::WriteCommand(std::string_view command)
{
    WriteSection("COMMAND:", command);
}

void CommandLog::WriteNote(std::string_view note)
{
    WriteSection("NOTE:", note);
}

void CommandLog::WriteRawResponse(std::string_view raw)
{
    WriteSection("RAW RESPONSE:", raw);
}

void CommandLog::WriteCleanedResponse(std::string_view cleaned)
{
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return;
    Put("PARSED RESPONSE:\r\n");
    PutRule();
    Put(cleaned);
    Put(kEol);
    PutRule();
    Put("PARSED RESULT: \r\n");
    PutRule();
    Flush();
}

void CommandLog::WriteUploadStart(std::string_view destination, long long size)
{
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return;
    Put("Uploading file \"" + std::string(destination) + "\" with " + std::to_string(size) + " bytes.\r\n");
    Put(kEol);
    PutRule();
    Flush();
}

void CommandLog::WriteUploadProgress(long long sent, long long size, long long wrote)
{
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return;
    Put("Uploading " + std::to_string(sent) + "/" + std::to_string(size) + " bytes (" + std::to_string(wrote)
        + ") complete...\r\n");
    Flush();
}

void CommandLog::WriteUploadEnd(long long sent, long long size)
{
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return;
    Put("Finished. " + std::to_string(sent) + "/" + std::to_string(size) + " bytes uploaded.\r\n");
    PutRule();
    Put(kEol);
    Flush();
}

} // namespace tervane
