#pragma once

#include "Translatable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tervane {

// The radio page's values that an apply checks, in the order they are checked.
enum class RadioField { ExtendedPanId, DiscoverTimeout, ScanChannels, ScanDuration, JoinTime };

// The five values as the user typed them.
struct RadioSettingTexts {
    std::string extendedPanId;
    std::string discoverTimeout;
    std::string scanChannels;
    std::string scanDuration;
    std::string joinTime;
};

// The first value refused and what the user is told about it.
struct RadioSettingRefusal {
    RadioField field;
    std::string_view message;
};

inline constexpr std::string_view kExtendedPanIdMessage =
    TERVANE_TRANSLATABLE("tervane::RadioSettingChecks", "Extended PAN ID must be 8 hex bytes");
inline constexpr std::string_view kDiscoverTimeoutMessage =
    TERVANE_TRANSLATABLE("tervane::RadioSettingChecks", "Discover Timeout must be between 0 and 252");
inline constexpr std::string_view kScanChannelsMessage =
    TERVANE_TRANSLATABLE("tervane::RadioSettingChecks", "Scan Channels must be between 0 and 0xffff");
inline constexpr std::string_view kScanDurationMessage =
    TERVANE_TRANSLATABLE("tervane::RadioSettingChecks", "Scan Duration must be between 0 and 7");
inline constexpr std::string_view kJoinTimeMessage =
    TERVANE_TRANSLATABLE("tervane::RadioSettingChecks", "Allows Join Time must be between 0 and 255");

// The checks of the radio apply, in field order; none when every value passes. The values
// themselves are sent as typed: the checks only decide whether they are sent.
std::optional<RadioSettingRefusal> CheckRadioSettings(const RadioSettingTexts& texts);

// An extended PAN ID the radio takes: "0x" (lower-case x) and one to sixteen hexadecimal
// digits, so that it fits the eight bytes the message names.
bool IsExtendedPanId(std::string_view text);

// A hexadecimal number read the way strtol with base 16 reads one: leading white space, an
// optional sign, an optional "0x" or "0X", digits up to the first other character; 0 when no
// digit starts the number. Values beyond 64 bits are clamped.
int64_t ReadHexadecimal(std::string_view text);

} // namespace tervane
