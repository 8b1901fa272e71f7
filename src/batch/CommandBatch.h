#pragma once

#include "USBCommand.h"

#include <vector>

namespace tervane {

// The ordered list of commands one progress dialog runs. Its structure does not change
// while a worker runs it; the worker writes only `response` and `failed` of its record.
class CommandBatch {
public:
    void AddTail(const USBCommand& command) { m_commands.push_back(command); }
    void RemoveAll() { m_commands.clear(); }
    int GetCount() const { return static_cast<int>(m_commands.size()); }
    // The record at a 0-based position, or none when the position is out of range.
    USBCommand* GetAt(int position);
    const USBCommand* GetAt(int position) const;
    USBCommand* GetHead() { return GetAt(0); }
    USBCommand* GetTail() { return GetAt(GetCount() - 1); }
    const USBCommand* GetHead() const { return GetAt(0); }
    const USBCommand* GetTail() const { return GetAt(GetCount() - 1); }

    auto begin() { return m_commands.begin(); }
    auto end() { return m_commands.end(); }
    auto begin() const { return m_commands.begin(); }
    auto end() const { return m_commands.end(); }

private:
    std::vector<USBCommand> m_commands;
};

} // namespace tervane
