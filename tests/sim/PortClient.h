#pragma once

#include <string>
#include <string_view>

namespace tervane::sim::test {

// The program's end of the simulated port, in plain POSIX: raw mode, whole commands out,
// answers in until a final result code.
class PortClient {
public:
    explicit PortClient(const std::string& path);
    ~PortClient();
    PortClient(const PortClient&) = delete;
    PortClient& operator=(const PortClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    bool Send(std::string_view bytes);
    // Everything until the text ends in "\r\nOK\r\n" or "\r\nERROR\r\n", the port hangs up, or the time-out.
    std::string ReadAnswer(int timeoutMs = 3000);
    std::string Exchange(std::string_view command, int timeoutMs = 3000);
    // Everything that arrives within ms.
    std::string ReadFor(int ms);
    // The port reports a hang-up (the device went away) within the time.
    bool WaitForHangUp(int timeoutMs);

private:
    int fd_ = -1;
};

} // namespace tervane::sim::test
