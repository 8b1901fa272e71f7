#include "LineResponder.h"

namespace tervane::test {

LineResponder::LineResponder(PtyPeer& peer, std::function<std::string(const std::string& line)> answer)
    : m_peer(peer)
    , m_answer(std::move(answer))
    , m_thread([this] { Run(); })
{
}

LineResponder::~LineResponder()
{
    m_stop = true;
    m_thread.join();
}

void LineResponder::Run()
{
    std::string pending;
    while (!m_stop) {
        pending += m_peer.ReadAvailable(20);
        std::size_t end;
        while ((end = pending.find("\r\n")) != std::string::npos) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 2);
            m_peer.Write(m_answer(line));
        }
    }
}

} // namespace tervane::test
