#pragma once

#include <string>

namespace tervane::test {

// A pseudo-terminal pair. Its slave path is a real terminal that the link opens like a
// serial port, as long as this object keeps the master side open.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool IsOpen() const;
    const std::string& SlavePath() const;

private:
    int m_master = -1;
    std::string m_slavePath;
};

// Holds a terminal the way another program does: open, with an exclusive flock on it.
class PortHolder {
public:
    explicit PortHolder(const std::string& path);
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool IsHolding() const;

private:
    int m_fd = -1;
};

} // namespace tervane::test
