#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace tervane {

// Names one field of a page. A page usually uses the id of the control that shows the
// field, and ids of its own for fields no control shows (an interval kept in seconds).
using FieldId = int32_t;

// The values a page edits, without any widget: a text for BIND_TEXT (a drop-down list
// holds its entry's text), a signed 32-bit number for BIND_INT and BIND_ONOFF (0 or 1).
// A field never set reads as empty text and 0.
class FieldStore {
public:
    const std::string& Text(FieldId id) const;
    int32_t Int(FieldId id) const;
    void SetText(FieldId id, std::string text);
    void SetInt(FieldId id, int32_t value);
    bool Contains(FieldId id) const { return m_values.count(id) != 0; }
    void Clear() { m_values.clear(); }

private:
    struct Value {
        std::string text;
        int32_t number = 0;
    };
    std::unordered_map<FieldId, Value> m_values;
};

} // namespace tervane
