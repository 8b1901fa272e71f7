#include "CommandLog.h"

#include "SystemCalls.h"

#include <cerrno>
#include <cstring>
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

bool CommandLog::Open(const std::string& path, std::string* failure)
{
    std::lock_guard lock(m_mutex);
    if (m_file)
        return true;
    const auto fail = [&](std::string why) {
        if (failure)
            *failure = std::move(why);
        return false;
    };
    // Not blocking: opening a FIFO for writing would otherwise wait for a reader forever.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        // A FIFO without a reader refuses a non-blocking open (ENXIO): say what it is.
        const int error = errno;
        struct stat existing {};
        if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode))
            return fail("not a regular file");
        return fail(std::strerror(error));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail("not a regular file");
    }
    ClearNonBlocking(fd);
    m_file = ::fdopen(fd, "ab");
    if (!m_file) {
        const int error = errno;
        ::close(fd);
        return fail(std::strerror(error));
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
