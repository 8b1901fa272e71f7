#pragma once

#include <string>

namespace tervane::sim {

// A pseudo-terminal pair: the device works the master, the program opens the slave. The device
// keeps a slave descriptor of its own so that the master does not see a hang-up each time the
// program closes and re-opens the port.
class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // A new pair: slave in raw mode (the line discipline echoes and translates nothing), master
    // non-blocking. False (and nothing open) on failure.
    bool Open();
    // Both ends go away; a program still holding the slave reads end-of-file or EIO and cannot write.
    void Close();

    bool IsOpen() const { return m_master >= 0; }
    int Master() const { return m_master; }

    // Bytes written by the device that the program has not read yet.
    int UnreadByProgram() const;
    // Throws those bytes away.
    void DiscardUnread() const;

    // Points `link` at the slave, replacing an older link there; false when it cannot.
    bool Publish(const std::string& link) const;

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slaveName;
};

} // namespace tervane::sim
