#include "JsonWriter.h"

#include "ProcedureSteps.h"

#include <cassert>
#include <cstdio>

namespace tervane {

JsonValue::JsonValue(bool value)
    : m_kind(Kind::Bool)
    , m_bool(value)
{
}

JsonValue::JsonValue(int value)
    : m_kind(Kind::Integer)
    , m_integer(value)
{
}

JsonValue::JsonValue(long long value)
    : m_kind(Kind::Integer)
    , m_integer(value)
{
}

JsonValue::JsonValue(std::string value)
    : m_kind(Kind::String)
    , m_string(std::move(value))
{
}

JsonValue::JsonValue(std::string_view value)
    : JsonValue(std::string(value))
{
}

JsonValue::JsonValue(const char* value)
    : JsonValue(std::string(value ? value : ""))
{
}

JsonValue JsonValue::Array()
{
    JsonValue value;
    value.m_kind = Kind::Array;
    return value;
}

JsonValue JsonValue::Object()
{
    JsonValue value;
    value.m_kind = Kind::Object;
    return value;
}

void JsonValue::IndexNewMembers() const
{
    for (; m_indexed < m_members.size(); ++m_indexed) {
        const std::string& name = m_members[m_indexed].name;
        const std::size_t hash = std::hash<std::string_view>{}(name);
        m_memberAt.emplace(hash, m_indexed);
    }
}

std::size_t JsonValue::FindMember(std::string_view name, std::size_t hash) const
{
    IndexNewMembers();
    const auto [first, last] = m_memberAt.equal_range(hash);
    for (auto at = first; at != last; ++at) {
        if (m_members[at->second].name == name)
            return at->second;
    }
    return m_members.size();
}

JsonValue& JsonValue::Set(std::string name, JsonValue value)
{
    const std::size_t hash = std::hash<std::string_view>{}(name);
    const std::size_t at = FindMember(name, hash);
    if (at < m_members.size()) {
        m_members[at].value = std::move(value);
        return *this;
    }
    m_memberAt.emplace(hash, m_members.size());
    m_members.push_back(JsonMember{std::move(name), std::move(value)});
    m_indexed = m_members.size();
    return *this;
}

JsonValue& JsonValue::AddNew(std::string name, JsonValue value)
{
    assert(Find(name) == nullptr && "AddNew was given a name already there");
    m_members.push_back(JsonMember{std::move(name), std::move(value)});
    return *this;
}

void JsonValue::Reserve(std::size_t count)
{
    m_members.reserve(count);
}

const JsonValue* JsonValue::Find(std::string_view name) const
{
    const std::size_t at = FindMember(name, std::hash<std::string_view>{}(name));
    return at < m_members.size() ? &m_members[at].value : nullptr;
}

JsonValue& JsonValue::Append(JsonValue value)
{
    m_elements.push_back(std::move(value));
    return *this;
}

std::size_t JsonValue::Size() const
{
    return m_kind == Kind::Array ? m_elements.size() : m_members.size();
}

namespace {

void PutEscaped(std::string& out, uint32_t codePoint)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(codePoint));
    out += hex;
}

void PutIndent(std::string& out, int depth)
{
    out.push_back('\n');
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
}

void Write(std::string& out, const JsonValue& value, int depth)
{
    switch (value.GetKind()) {
    case JsonValue::Kind::Null:
        out += "null";
        break;
    case JsonValue::Kind::Bool:
        out += value.BoolValue() ? "true" : "false";
        break;
    case JsonValue::Kind::Integer:
        out += std::to_string(value.IntegerValue());
        break;
    case JsonValue::Kind::String:
        out += JsonQuote(value.StringValue());
        break;
    case JsonValue::Kind::Array: {
        if (value.Elements().empty()) {
            out += "[]";
            break;
        }
        out.push_back('[');
        bool first = true;
        for (const auto& element : value.Elements()) {
            if (!first)
                out.push_back(',');
            first = false;
            PutIndent(out, depth + 1);
            Write(out, element, depth + 1);
        }
        PutIndent(out, depth);
        out.push_back(']');
        break;
    }
    case JsonValue::Kind::Object: {
        if (value.Members().empty()) {
            out += "{}";
            break;
        }
        out.push_back('{');
        bool first = true;
        for (const auto& member : value.Members()) {
            if (!first)
                out.push_back(',');
            first = false;
            PutIndent(out, depth + 1);
            out += JsonQuote(member.name);
            out += ": ";
            Write(out, member.value, depth + 1);
        }
        PutIndent(out, depth);
        out.push_back('}');
        break;
    }
    }
}

} // namespace

std::string JsonQuote(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + 2);
    out.push_back('"');
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (c < 0x20 || c == 0x7f)
                    PutEscaped(out, c);
                else
                    out.push_back(static_cast<char>(c));
            }
            ++i;
            continue;
        }
        uint32_t codePoint = 0;
        const std::size_t length = Utf8SequenceLength(bytes, i, codePoint);
        if (length == 0) {
            PutEscaped(out, c);
            ++i;
        } else if (codePoint == 0x2028 || codePoint == 0x2029 || IsC1Control(codePoint)) {
            // Valid JSON either way, but not valid inside JavaScript string literals, and a
            // C1 control (U+009B is CSI) would drive a terminal that shows the output.
            PutEscaped(out, codePoint);
            i += length;
        } else {
            out.append(bytes.substr(i, length));
            i += length;
        }
    }
    out.push_back('"');
    return out;
}

std::string WriteJson(const JsonValue& value)
{
    std::string out;
    Write(out, value, 0);
    return out;
}

} // namespace tervane
