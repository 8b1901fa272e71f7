#pragma once

#include "PtyPeer.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace tervane::test {

// Plays a device on the peer's side of a terminal: every line that arrives (without its
// CR LF) is answered with what `answer` returns for it. Runs until it is destroyed.
class LineResponder {
public:
    LineResponder(PtyPeer& peer, std::function<std::string(const std::string& line)> answer);
    ~LineResponder();

    LineResponder(const LineResponder&) = delete;
    LineResponder& operator=(const LineResponder&) = delete;

private:
    void Run();

    PtyPeer& m_peer;
    std::function<std::string(const std::string&)> m_answer;
    std::atomic<bool> m_stop {false};
    std::thread m_thread;
};

} // namespace tervane::test
