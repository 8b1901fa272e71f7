#include "SimValueRules.h"

#include "SimXml.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace tervane::sim {

namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

std::optional<std::string> OneOf(std::string_view value, std::initializer_list<const char*> words)
{
    const std::string lower = Lower(value);
    for (const char* word : words) {
        if (lower == word)
            return lower;
    }
    return std::nullopt;
}

// Whole text as a number of the given base (decimal may be signed, hexadecimal may carry 0x).
std::optional<long long> Number(std::string_view text, int base)
{
    std::size_t i = 0;
    bool negative = false;
    if (base == 10 && i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        i = 2;
    if (i == text.size() || text.size() - i > 12)
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
    }
    return negative ? -value : value;
}

std::optional<std::string> InRange(std::string_view value, int base, long long low, long long high)
{
    const auto number = Number(value, base);
    if (!number || *number < low || *number > high)
        return std::nullopt;
    return std::string(value);
}

bool Is(std::string_view a, const char* b)
{
    return NamesEqual(a, b);
}

} // namespace

std::optional<std::string> NormalizeSettingValue(std::string_view group, std::string_view setting,
                                                 std::string_view value)
{
    if (Is(setting, "state") || Is(setting, "keepalive") || Is(setting, "connectionEnabled")
        || Is(setting, "lastKnownAddressUpdateEnabled") || Is(setting, "pagedConnectionOverrideEnabled")
        || Is(setting, "encryption_enabled"))
        return OneOf(value, {"on", "off"});

    if (Is(group, "serial")) {
        if (Is(setting, "baud"))
            return OneOf(value, {"300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
                                 "57600", "115200", "230400"});
        if (Is(setting, "databits"))
            return OneOf(value, {"5", "6", "7", "8"});
        if (Is(setting, "parity"))
            return OneOf(value, {"none", "odd", "even", "mark", "space"});
        if (Is(setting, "stopbits"))
            return OneOf(value, {"1", "2"});
        if (Is(setting, "flowcontrol"))
            return OneOf(value, {"none", "hardware", "software"});
    }
    if (Is(setting, "port"))
        return InRange(value, 10, 1, 65535);
    if (Is(setting, "clientConnectionReconnectTimeout"))
        return InRange(value, 10, -32768, 2147483647);
    if (Is(setting, "mobile_gsm_band"))
        return OneOf(value, {"1", "2", "4", "6", "8", "9", "10"});

    if (Is(group, "radio")) {
        if (Is(setting, "discover_timeout"))
            return InRange(value, 10, 0, 252);
        if (Is(setting, "scan_channels"))
            return InRange(value, 16, 0, 0xFFFF);
        if (Is(setting, "scan_duration"))
            return InRange(value, 10, 0, 7);
        if (Is(setting, "join_time"))
            return InRange(value, 10, 0, 255);
        if (Is(setting, "power_level"))
            return InRange(value, 10, 0, 4);
        if (Is(setting, "ext_pan_id")) {
            // 0 or up to eight bytes of hexadecimal after 0x.
            const bool prefixed = value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
            const bool hexDigits = prefixed && value.size() <= 18
                                   && std::all_of(value.begin() + 2, value.end(),
                                                  [](unsigned char c) { return std::isxdigit(c) != 0; });
            if (value == "0" || hexDigits)
                return std::string(value);
            return std::nullopt;
        }
        if (Is(setting, "node_id")) {
            if (value.size() > 20)
                return std::nullopt;
            return std::string(value);
        }
    }
    return std::string(value);
}

} // namespace tervane::sim
