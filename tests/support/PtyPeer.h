#pragma once

#include <string>
#include <string_view>

namespace tervane::test {

// The far end of a pseudo-terminal, scripted by a test: what the link writes can be read
// here and any bytes can be answered, so framing and faults are exact. The terminal is
// published under a stable symlink that vanishes on HangUp and returns on Reopen, the
// way a restarting device behaves.
class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    // The stable name the link opens.
    std::string Path() const { return m_link; }
    // The terminal the name leads to now.
    std::string SlavePath() const { return m_slave; }

    // Sends bytes to the link.
    void Write(std::string_view bytes);
    // Whatever the link wrote, collected until `waitMs` pass without anything new.
    std::string ReadAvailable(int waitMs = 50);
    // Collects what the link writes until it ends with `end` or `waitMs` pass.
    std::string ReadUntil(std::string_view end, int waitMs = 2000);

    // The terminal stops (true) or resumes (false) taking the link's bytes, without an
    // error: a write from the link then finds no room.
    void StallOutput(bool stalled);

    // The device goes away: the terminal hangs up and its name disappears.
    void HangUp();
    // The device returns: a new terminal under the same name.
    void Reopen();

private:
    void Create();

    std::string m_dir;
    std::string m_link;
    std::string m_slave;
    int m_master = -1;
    int m_ownSlave = -1;
};

} // namespace tervane::test
