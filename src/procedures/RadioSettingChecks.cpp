#include "RadioSettingChecks.h"

#include "BindingTable.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tervane {

namespace {

bool IsHexDigit(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
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
    return digits.size() <= 16 && std::all_of(digits.begin(), digits.end(), IsHexDigit);
}

int64_t ReadHexadecimal(std::string_view text)
{
    // strtoll stops at the first character that is no digit, a NUL among them.
    const std::string terminated(text);
    return std::strtoll(terminated.c_str(), nullptr, 16);
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
