#include "CommandText.h"

#include "ProcedureSteps.h"

#include <cstdio>

namespace tervane {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::string> UnescapeCommand(std::string_view typed)
{
    std::string out;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const char c = typed[i];
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i >= typed.size())
            return std::nullopt;
        switch (typed[i]) {
        case 'r': out.push_back('\r'); break;
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case '\\': out.push_back('\\'); break;
        case '"': out.push_back('"'); break;
        case 'x': {
            const int hi = i + 1 < typed.size() ? HexValue(typed[i + 1]) : -1;
            const int lo = i + 2 < typed.size() ? HexValue(typed[i + 2]) : -1;
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::string EscapeForDisplay(std::string_view bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80) {
            // Valid UTF-8 is kept but for the C1 controls (U+0080 to U+009F), shown as the
            // bytes they are; a stray byte 0x80 to 0x9F is a C1 control on an 8-bit terminal.
            uint32_t codePoint = 0;
            const std::size_t length = Utf8SequenceLength(bytes, i, codePoint);
            const std::size_t span = length == 0 ? 1 : length;
            const bool control = length == 0 ? IsC1Control(c) : IsC1Control(codePoint);
            for (std::size_t k = 0; k < span; ++k) {
                if (control) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(bytes[i + k]));
                    out += hex;
                } else {
                    out.push_back(bytes[i + k]);
                }
            }
            i += span - 1;
            continue;
        }
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    return out;
}

std::string EscapeLinesForDisplay(std::string_view bytes)
{
    std::string out;
    for (;;) {
        const auto end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        if (end != std::string_view::npos && line.ends_with('\r'))
            line.remove_suffix(1);
        out += EscapeForDisplay(line);
        if (end == std::string_view::npos)
            return out;
        out += '\n';
        bytes.remove_prefix(end + 1);
    }
}

} // namespace tervane
