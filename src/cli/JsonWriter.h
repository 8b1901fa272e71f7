#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tervane {

struct JsonMember;

// A JSON value for the tool's --json output: null, true/false, a whole number, a text, an
// array or an object whose members keep the order they were set in.
class JsonValue {
public:
    enum class Kind { Null, Bool, Integer, String, Array, Object };

    JsonValue() = default;
    JsonValue(bool value);
    JsonValue(int value);
    JsonValue(long long value);
    JsonValue(std::string value);
    JsonValue(std::string_view value);
    JsonValue(const char* value);

    static JsonValue Array();
    static JsonValue Object();

    Kind GetKind() const { return m_kind; }

    // Objects: sets a member, replacing one of the same name in its place. Finding that
    // member takes the same time however many members there are.
    JsonValue& Set(std::string_view name, JsonValue value);
    // The member of that name, or none.
    const JsonValue* Find(std::string_view name) const;
    // Arrays: adds an element at the end.
    JsonValue& Append(JsonValue value);
    std::size_t Size() const;

    bool BoolValue() const { return m_bool; }
    long long IntegerValue() const { return m_integer; }
    const std::string& StringValue() const { return m_string; }
    const std::vector<JsonValue>& Elements() const { return m_elements; }
    const std::vector<JsonMember>& Members() const { return m_members; }

private:
    Kind m_kind = Kind::Null;
    bool m_bool = false;
    long long m_integer = 0;
    std::string m_string;
    std::vector<JsonValue> m_elements;
    std::vector<JsonMember> m_members;
    // Objects: each member's position by name.
    std::unordered_map<std::string, std::size_t> m_memberAt;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

// A text as a JSON string literal, quotes included. Texts from the device are bytes, not
// always UTF-8: valid UTF-8 is kept as it is, a byte that is not part of valid UTF-8 is
// read as Latin-1 and written as \u00XX, and control characters are escaped, so the
// output is always valid JSON in valid UTF-8.
std::string JsonQuote(std::string_view bytes);

// The value as JSON text, indented by two blanks per level, without a final line end.
std::string WriteJson(const JsonValue& value);

} // namespace tervane
