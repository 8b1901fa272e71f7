#include "CommandBatch.h"

namespace tervane {

USBCommand* CommandBatch::GetAt(int position)
{
    if (position < 0 || position >= GetCount())
        return nullptr;
    return &m_commands[static_cast<std::size_t>(position)];
}

const USBCommand* CommandBatch::GetAt(int position) const
{
    if (position < 0 || position >= GetCount())
        return nullptr;
    return &m_commands[static_cast<std::size_t>(position)];
}

} // namespace tervane
