// The GSM band numbers of the device and the labels of the "Band Configuration" list.
#include "BandConverters.h"
#include "ChoiceList.h"

#include <gtest/gtest.h>

namespace tervane {
namespace {

struct BandCase {
    const char* name;
    std::string text;
    std::string result;
};

std::string CaseName(const ::testing::TestParamInfo<BandCase>& info)
{
    return info.param.name;
}

class ValueToLabel : public ::testing::TestWithParam<BandCase> {};

TEST_P(ValueToLabel, GivesTheLabelOfKnownBandsOnly)
{
    EXPECT_EQ(BandValueToLabel(GetParam().text), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Table, ValueToLabel,
    ::testing::Values(BandCase{"v1", "1", "850 MHz"}, BandCase{"v2", "2", "900 MHz"}, BandCase{"v4", "4", "1800 MHz"},
        BandCase{"v6", "6", "900/1800 MHz (Europe/World)"}, BandCase{"v8", "8", "1900 MHz"},
        BandCase{"v9", "9", "850/1900 MHz (North America)"}, BandCase{"v10", "10", "900/1900 MHz"},
        BandCase{"zero", "0", ""}, BandCase{"three", "3", ""}, BandCase{"five", "5", ""}, BandCase{"seven", "7", ""},
        BandCase{"eleven", "11", ""}, BandCase{"minus_nine", "-9", ""}, BandCase{"empty", "", ""},
        BandCase{"no_number", "auto", ""}, BandCase{"leading_blanks", "  9", "850/1900 MHz (North America)"},
        BandCase{"letters_after_the_number", "4MHz", "1800 MHz"}, BandCase{"huge", "99999999999", ""}),
    CaseName);

class LabelToValue : public ::testing::TestWithParam<BandCase> {};

TEST_P(LabelToValue, MatchesTheWholeLabelExactly)
{
    EXPECT_EQ(BandLabelToValue(GetParam().text), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Table, LabelToValue,
    ::testing::Values(BandCase{"l850", "850 MHz", "1"}, BandCase{"l900", "900 MHz", "2"},
        BandCase{"l1800", "1800 MHz", "4"}, BandCase{"europe", "900/1800 MHz (Europe/World)", "6"},
        BandCase{"l1900", "1900 MHz", "8"}, BandCase{"north_america", "850/1900 MHz (North America)", "9"},
        BandCase{"l900_1900", "900/1900 MHz", "10"}, BandCase{"empty", "", ""},
        BandCase{"other_case", "850 mhz", ""}, BandCase{"trailing_blank", "850 MHz ", ""},
        BandCase{"beginning_only", "850", ""}, BandCase{"number", "9", ""}),
    CaseName);

// Every entry of the list goes to the device and back to itself, in the list's order.
TEST(BandChoiceList, HoldsTheSevenLabelsEachRoundTripping)
{
    const std::vector<std::string> entries = SplitChoices(kBandChoiceList);
    const std::vector<std::string> expected{"850/1900 MHz (North America)", "900/1800 MHz (Europe/World)", "850 MHz",
        "900 MHz", "1800 MHz", "1900 MHz", "900/1900 MHz"};
    EXPECT_EQ(entries, expected);
    for (const std::string& label : entries)
        EXPECT_EQ(BandValueToLabel(BandLabelToValue(label)), label);
}

} // namespace
} // namespace tervane
