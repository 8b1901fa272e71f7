#include "RadioSettingChecks.h"

#include "BindingTable.h"

#include <algorithm>
#include <limits>

namespace tervane {

namespace {

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The radio takes unsigned values: a negative number is out of every range.
bool InUnsignedRange(int64_t value, int64_t maximum)
{
    return value >= 0 && value <= maximum;
}

} // namespace

bool IsExtendedPanId(std::string_view text)
{
    if (text.size() < 3 || text[0] != '0' || text[1] != 'x')
        return false;
    const std::string_view digits = text.substr(2);
    return digits.size() <= 16 && std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) >= 0; });
}

int64_t ReadHexadecimal(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // The prefix counts only when a digit follows it; "0x" alone reads as the number 0.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') && HexDigit(text[i + 2]) >= 0)
        i += 2;
    constexpr uint64_t kLimit = uint64_t{std::numeric_limits<int64_t>::max()} + 1;
    uint64_t value = 0;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i)
        value = value > kLimit / 16 ? kLimit
                                    : std::min<uint64_t>(value * 16 + static_cast<uint64_t>(HexDigit(text[i])), kLimit);
    if (negative)
        return value == kLimit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(value);
    return static_cast<int64_t>(std::min<uint64_t>(value, kLimit - 1));
}

std::optional<RadioSettingRefusal> CheckRadioSettings(const RadioSettingTexts& texts)
{
    if (!IsExtendedPanId(texts.extendedPanId))
        return RadioSettingRefusal{RadioField::ExtendedPanId, kExtendedPanIdMessage};
    if (!InUnsignedRange(ReadDecimal(texts.discoverTimeout), 252))
        return RadioSettingRefusal{RadioField::DiscoverTimeout, kDiscoverTimeoutMessage};
    if (!InUnsignedRange(ReadHexadecimal(texts.scanChannels), 0xFFFF))
        return RadioSettingRefusal{RadioField::ScanChannels, kScanChannelsMessage};
    if (!InUnsignedRange(ReadDecimal(texts.scanDuration), 7))
        return RadioSettingRefusal{RadioField::ScanDuration, kScanDurationMessage};
    if (!InUnsignedRange(ReadDecimal(texts.joinTime), 255))
        return RadioSettingRefusal{RadioField::JoinTime, kJoinTimeMessage};
    return std::nullopt;
}

} // namespace tervane
