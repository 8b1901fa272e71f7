#include "RadioSettingChecks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tervane {
namespace {

// What the radio page holds when the device's defaults are shown.
RadioSettingTexts Accepted()
{
    return {"0x0", "60", "0x7FFF", "3", "255"};
}

struct CheckCase {
    const char* name;
    RadioSettingTexts texts;
    std::optional<RadioField> refused;
};

void PrintTo(const CheckCase& row, std::ostream* out)
{
    *out << row.name;
}

RadioSettingTexts With(std::string RadioSettingTexts::*field, std::string text)
{
    RadioSettingTexts texts = Accepted();
    texts.*field = std::move(text);
    return texts;
}

class RadioChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(RadioChecks, RefuseTheFirstBadValueInFieldOrder)
{
    const auto refusal = CheckRadioSettings(GetParam().texts);
    ASSERT_EQ(refusal.has_value(), GetParam().refused.has_value());
    if (refusal) {
        EXPECT_EQ(refusal->field, *GetParam().refused);
    }
}

using T = RadioSettingTexts;
using F = RadioField;

INSTANTIATE_TEST_SUITE_P(Table, RadioChecks,
    ::testing::Values(
        CheckCase{"defaults", Accepted(), std::nullopt},
        // Extended PAN ID: "0x" and one to sixteen hexadecimal digits.
        CheckCase{"pan_zero", With(&T::extendedPanId, "0"), F::ExtendedPanId},
        CheckCase{"pan_upper_case_prefix", With(&T::extendedPanId, "0X0"), F::ExtendedPanId},
        CheckCase{"pan_empty", With(&T::extendedPanId, ""), F::ExtendedPanId},
        CheckCase{"pan_prefix_alone", With(&T::extendedPanId, "0x"), F::ExtendedPanId},
        CheckCase{"pan_blank_before", With(&T::extendedPanId, " 0x1"), F::ExtendedPanId},
        CheckCase{"pan_not_hex", With(&T::extendedPanId, "0xGHIJ"), F::ExtendedPanId},
        CheckCase{"pan_sixteen_digits", With(&T::extendedPanId, "0x0013A200409a0B1C"), std::nullopt},
        CheckCase{"pan_seventeen_digits", With(&T::extendedPanId, "0x0013A200409A0B1C0"), F::ExtendedPanId},
        CheckCase{"pan_mixed_case_digits", With(&T::extendedPanId, "0xabCD"), std::nullopt},
        // Decimal values read as atoi reads them, tested unsigned.
        CheckCase{"discover_252", With(&T::discoverTimeout, "252"), std::nullopt},
        CheckCase{"discover_253", With(&T::discoverTimeout, "253"), F::DiscoverTimeout},
        CheckCase{"discover_empty_is_0", With(&T::discoverTimeout, ""), std::nullopt},
        CheckCase{"discover_negative", With(&T::discoverTimeout, "-1"), F::DiscoverTimeout},
        CheckCase{"discover_minus_zero", With(&T::discoverTimeout, "-0"), std::nullopt},
        CheckCase{"discover_blanks_and_tail", With(&T::discoverTimeout, "  12abc"), std::nullopt},
        CheckCase{"discover_beyond_32_bits", With(&T::discoverTimeout, "99999999999"), F::DiscoverTimeout},
        CheckCase{"discover_2_to_the_32", With(&T::discoverTimeout, "4294967296"), F::DiscoverTimeout},
        // Scan channels read as strtol base 16 reads them.
        CheckCase{"channels_ffff", With(&T::scanChannels, "ffff"), std::nullopt},
        CheckCase{"channels_0xffff", With(&T::scanChannels, "0xffff"), std::nullopt},
        CheckCase{"channels_FFFF", With(&T::scanChannels, "FFFF"), std::nullopt},
        CheckCase{"channels_0Xffff", With(&T::scanChannels, "0Xffff"), std::nullopt},
        CheckCase{"channels_10000", With(&T::scanChannels, "10000"), F::ScanChannels},
        CheckCase{"channels_minus_1", With(&T::scanChannels, "-1"), F::ScanChannels},
        CheckCase{"channels_letters_are_0", With(&T::scanChannels, "zz"), std::nullopt},
        CheckCase{"channels_huge", With(&T::scanChannels, "0xffffffffffffffffffff"), F::ScanChannels},
        CheckCase{"duration_7", With(&T::scanDuration, "7"), std::nullopt},
        CheckCase{"duration_8", With(&T::scanDuration, "8"), F::ScanDuration},
        CheckCase{"duration_empty_is_0", With(&T::scanDuration, ""), std::nullopt},
        CheckCase{"join_255", With(&T::joinTime, "255"), std::nullopt},
        CheckCase{"join_256", With(&T::joinTime, "256"), F::JoinTime},
        CheckCase{"join_empty_is_0", With(&T::joinTime, ""), std::nullopt},
        // Several bad values: only the first in field order counts.
        CheckCase{"all_bad", T{"0", "253", "10000", "8", "256"}, F::ExtendedPanId},
        CheckCase{"all_but_pan_bad", T{"0x1", "253", "10000", "8", "256"}, F::DiscoverTimeout},
        CheckCase{"channels_and_later_bad", T{"0x1", "1", "10000", "8", "256"}, F::ScanChannels},
        CheckCase{"duration_and_join_bad", T{"0x1", "1", "1", "8", "256"}, F::ScanDuration}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(RadioChecks, MessagesNameTheirField)
{
    const auto message = [](RadioSettingTexts texts) { return std::string(CheckRadioSettings(texts)->message); };
    EXPECT_EQ(message(With(&T::extendedPanId, "0")), "Extended PAN ID must be 8 hex bytes");
    EXPECT_EQ(message(With(&T::discoverTimeout, "253")), "Discover Timeout must be between 0 and 252");
    EXPECT_EQ(message(With(&T::scanChannels, "10000")), "Scan Channels must be between 0 and 0xffff");
    EXPECT_EQ(message(With(&T::scanDuration, "8")), "Scan Duration must be between 0 and 7");
    EXPECT_EQ(message(With(&T::joinTime, "256")), "Allows Join Time must be between 0 and 255");
}

struct HexCase {
    const char* name;
    const char* text;
    int64_t value;
};

void PrintTo(const HexCase& row, std::ostream* out)
{
    *out << row.name;
}

class ReadsHexadecimal : public ::testing::TestWithParam<HexCase> {};

TEST_P(ReadsHexadecimal, AsStrtolDoes)
{
    EXPECT_EQ(ReadHexadecimal(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Table, ReadsHexadecimal,
    ::testing::Values(HexCase{"empty", "", 0}, HexCase{"digits", "ff", 255}, HexCase{"prefix", "0xff", 255},
        HexCase{"upper_case_prefix", "0XFF", 255}, HexCase{"blanks_and_plus", " \t+1a", 26},
        HexCase{"negative", "-0x10", -16}, HexCase{"prefix_alone", "0x", 0}, HexCase{"prefix_then_no_digit", "0xg", 0},
        HexCase{"stops_at_other_character", "12g4", 0x12}, HexCase{"no_digit", "g", 0},
        HexCase{"largest", "7fffffffffffffff", INT64_MAX}, HexCase{"clamped_high", "10000000000000000", INT64_MAX},
        HexCase{"clamped_low", "-ffffffffffffffffff", INT64_MIN}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace tervane
