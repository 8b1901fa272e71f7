#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace tervane {

// The command log, command.log: every exchange with the device, framed by rule lines.
// Every line ends with CR LF. Texts from the device are written as received.
class CommandLog {
public:
    CommandLog() = default;
    ~CommandLog();
    CommandLog(const CommandLog&) = delete;
    CommandLog& operator=(const CommandLog&) = delete;

    // Opens the file for appending, creating it readable by its owner only: it records
    // the settings payload, passwords included. False, with the reason in `failure`, when it
    // cannot be opened or is not a regular file (a FIFO, a device, a folder).
    bool Open(const std::string& path, std::string* failure = nullptr);
    void Close();
    bool IsOpen() const;

    // "<title> <version> STARTED AT <ctime text>" between rule lines; not flushed.
    void WriteBanner(std::string_view title, std::string_view version, std::string_view ctimeText);
    void WriteCommand(std::string_view command);
    void WriteRawResponse(std::string_view raw);
    void WriteCleanedResponse(std::string_view cleaned);
    void WriteUploadStart(std::string_view destination, long long size);
    void WriteUploadProgress(long long sent, long long size, long long wrote);
    void WriteUploadEnd(long long sent, long long size);
    // "NOTE:" and one line of the program's own between rule lines (why a port would not open).
    void WriteNote(std::string_view note);

private:
    // A heading line, a rule, the text, a rule.
    void WriteSection(std::string_view heading, std::string_view text);
    void Put(std::string_view text);
    void PutRule();
    void Flush();

    mutable std::mutex m_mutex;
    std::FILE* m_file = nullptr;
};

} // namespace tervane
