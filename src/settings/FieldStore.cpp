#include "FieldStore.h"

namespace tervane {

const std::string& FieldStore::Text(FieldId id) const
{
    static const std::string empty;
    const auto it = m_values.find(id);
    return it == m_values.end() ? empty : it->second.text;
}

int32_t FieldStore::Int(FieldId id) const
{
    const auto it = m_values.find(id);
    return it == m_values.end() ? 0 : it->second.number;
}

void FieldStore::SetText(FieldId id, std::string text)
{
    m_values[id].text = std::move(text);
}

void FieldStore::SetInt(FieldId id, int32_t value)
{
    m_values[id].number = value;
}

} // namespace tervane
