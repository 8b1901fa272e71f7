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

    bool IsOpen() const { return master_ >= 0; }
    int Master() const { return master_; }
    int Slave() const { return slave_; }
    const std::string& SlaveName() const { return slaveName_; }

    // Bytes written by the device that the program has not read yet.
    int UnreadByProgram() const;
    // Throws those bytes away.
    void DiscardUnread() const;

    // Points `link` at the slave, replacing an older link there; false when it cannot.
    bool Publish(const std::string& link) const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
};

} // namespace tervane::sim
