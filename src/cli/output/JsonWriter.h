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
    JsonValue& Set(std::string name, JsonValue value);
    // Objects: adds a member whose name the caller knows is not there yet (a listing of
    // distinct paths), without looking for it: the index of names catches up on the next
    // Set or Find. Debug builds check the name is new.
    JsonValue& AddNew(std::string name, JsonValue value);
    // Objects: makes room for `count` members, so adding them moves none.
    void Reserve(std::size_t count);
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
    // Objects: each member's position under the hash of its name; the names themselves are
    // compared in m_members, so the index holds no copy of them and stays right when the
    // value is copied or moved.
    // Members added by AddNew from m_indexed on are not in it yet; Find brings it up to
    // date, so a value is not to be read from two threads at once.
    mutable std::unordered_multimap<std::size_t, std::size_t> m_memberAt;
    mutable std::size_t m_indexed = 0;

    void IndexNewMembers() const;
    std::size_t FindMember(std::string_view name, std::size_t hash) const;
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
// The value as JSON text on one line, for JSON Lines.
std::string WriteJsonLine(const JsonValue& value);

} // namespace tervane
