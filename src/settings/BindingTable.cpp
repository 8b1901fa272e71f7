#include "BindingTable.h"

#include "SafeXml.h"
#include "SettingPath.h"
#include "XmlText.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tervane {

namespace {

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void LoadRecord(const BindingRecord& record, FieldStore& fields, xmlNodePtr element)
{
    if (element->children == nullptr) {
        if (record.kindFlags & BIND_TEXT)
            fields.SetText(record.target, {});
        return;
    }
    const std::string copy = ElementText(element);
    const std::string_view text = copy;
    if (record.kindFlags & BIND_TEXT) {
        fields.SetText(record.target, record.loadConverter ? record.loadConverter(text) : std::string(text));
    } else if (record.kindFlags & BIND_INT) {
        fields.SetInt(record.target, ReadDecimal(text));
    } else if (record.kindFlags & BIND_ONOFF) {
        if (AsciiIEquals(text, "on"))
            fields.SetInt(record.target, 1);
        else if (AsciiIEquals(text, "off"))
            fields.SetInt(record.target, 0);
    }
}

void StoreRecord(const BindingRecord& record, const FieldStore& fields, xmlNodePtr element)
{
    if (record.kindFlags & BIND_TEXT) {
        const std::string& text = fields.Text(record.target);
        SetElementText(element, record.storeConverter ? record.storeConverter(text) : text);
    } else if (record.kindFlags & BIND_INT) {
        SetElementText(element, std::to_string(fields.Int(record.target)));
    } else if (record.kindFlags & BIND_ONOFF) {
        const int32_t value = fields.Int(record.target);
        if (value == 1)
            SetElementText(element, "on");
        else if (value == 0)
            SetElementText(element, "off");
    }
}

} // namespace

void LoadBindings(const ShowControl& showControl, const BindingTable& table, FieldStore& fields,
                  xmlNodePtr root)
{
    for (const BindingRecord& record : table) {
        if (record.path.empty())
            break;
        xmlNodePtr element = ResolvePath(root, record.path);
        if (element == nullptr)
            continue;
        if (record.controlId != 0 && showControl)
            showControl(record.controlId);
        LoadRecord(record, fields, element);
    }
}

void StoreBindings(const BindingTable& table, const FieldStore& fields, xmlNodePtr root)
{
    for (const BindingRecord& record : table) {
        if (record.path.empty())
            break;
        if (xmlNodePtr element = ResolvePath(root, record.path))
            StoreRecord(record, fields, element);
    }
}

int32_t ReadDecimal(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), kLimit);
    if (negative)
        return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min<int64_t>(value, kLimit - 1));
}

} // namespace tervane
