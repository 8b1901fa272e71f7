// The remote management intervals (seconds on the device, hours, minutes and seconds on the
// page) and the scheme in front of the device-initiated server address.
#include "ManagementConverters.h"

#include <gtest/gtest.h>

#include <ostream>

namespace tervane {

void PrintTo(const ScreenInterval& screen, std::ostream* out)
{
    *out << "{enabled " << screen.enabled << ", " << screen.hours << " h " << screen.minutes << " min "
         << screen.seconds << " s}";
}

namespace {

template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

struct ToScreenCase {
    const char* name;
    int32_t interval;
    ScreenInterval screen;
};

class IntervalToScreenTable : public ::testing::TestWithParam<ToScreenCase> {};

TEST_P(IntervalToScreenTable, SplitsSecondsOrShowsOff)
{
    EXPECT_EQ(IntervalToScreen(GetParam().interval), GetParam().screen);
}

INSTANTIATE_TEST_SUITE_P(Table, IntervalToScreenTable,
    ::testing::Values(ToScreenCase{"hour_minutes_seconds", 3725, {1, 1, 2, 5}},
        ToScreenCase{"off", kIntervalOff, {0, 0, 1, 0}}, ToScreenCase{"any_negative_is_off", -1, {0, 0, 1, 0}},
        ToScreenCase{"zero", 0, {1, 0, 0, 0}}, ToScreenCase{"one_minute", 60, {1, 0, 1, 0}},
        ToScreenCase{"seconds_only", 59, {1, 0, 0, 59}}, ToScreenCase{"one_hour", 3600, {1, 1, 0, 0}},
        ToScreenCase{"largest_below_ten_hours", 35999, {1, 9, 59, 59}},
        ToScreenCase{"ten_hours", 36000, {1, 10, 0, 0}}, ToScreenCase{"largest_the_screen_writes", 36060, {1, 10, 1, 0}}),
    CaseName<ToScreenCase>);

struct ToIntervalCase {
    const char* name;
    ScreenInterval screen;
    int32_t interval;
};

class ScreenToIntervalTable : public ::testing::TestWithParam<ToIntervalCase> {};

TEST_P(ScreenToIntervalTable, AddsUpOrGivesOff)
{
    EXPECT_EQ(ScreenToInterval(GetParam().screen), GetParam().interval);
}

INSTANTIATE_TEST_SUITE_P(Table, ScreenToIntervalTable,
    ::testing::Values(ToIntervalCase{"hour_minutes_seconds", {1, 1, 2, 5}, 3725},
        ToIntervalCase{"one_minute", {1, 0, 1, 0}, 60}, ToIntervalCase{"zero", {1, 0, 0, 0}, 0},
        ToIntervalCase{"largest", {1, 9, 60, 60}, 36060}, ToIntervalCase{"sixty_minutes", {1, 0, 60, 0}, 3600},
        ToIntervalCase{"off_whatever_the_time", {0, 9, 60, 60}, kIntervalOff},
        ToIntervalCase{"off_default_time", {0, 0, 1, 0}, kIntervalOff}),
    CaseName<ToIntervalCase>);

// Whatever the device holds, showing and taking back an interval changes nothing.
TEST(IntervalRoundTrip, KeepsEveryIntervalTheScreenCanShow)
{
    for (int32_t interval : {0, 1, 59, 60, 61, 3599, 3600, 3725, 35999, kIntervalOff})
        EXPECT_EQ(ScreenToInterval(IntervalToScreen(interval)), interval) << interval;
}

struct TextCase {
    const char* name;
    std::string text;
    std::string result;
};

class StripPrefix : public ::testing::TestWithParam<TextCase> {};

TEST_P(StripPrefix, ShowsTheAddressWithoutTheScheme)
{
    EXPECT_EQ(StripServerPrefix(GetParam().text), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Table, StripPrefix,
    ::testing::Values(TextCase{"prefixed", "en://server1", "server1"}, TextCase{"prefix_only", "en://", ""},
        TextCase{"without_prefix_kept", "server1.example", "server1.example"}, TextCase{"empty", "", ""},
        TextCase{"other_scheme_kept", "https://server1", "https://server1"},
        TextCase{"after_first_occurrence", "en://a/en://b", "a/en://b"},
        TextCase{"prefix_inside", "x-en://server1", "server1"},
        TextCase{"upper_case_not_the_prefix", "EN://server1", "EN://server1"}),
    CaseName<TextCase>);

class AddPrefix : public ::testing::TestWithParam<TextCase> {};

TEST_P(AddPrefix, StoresTheAddressWithTheScheme)
{
    EXPECT_EQ(AddServerPrefix(GetParam().text), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Table, AddPrefix,
    ::testing::Values(TextCase{"typed_address", "server2", "en://server2"}, TextCase{"empty", "", "en://"},
        TextCase{"typed_with_prefix_kept", "en://server3", "en://server3"},
        TextCase{"prefix_inside_kept", "x en://y", "x en://y"},
        TextCase{"special_characters", "a&b<c>\"d\"", "en://a&b<c>\"d\""},
        TextCase{"non_ascii", "caf\xc3\xa9.example", "en://caf\xc3\xa9.example"}),
    CaseName<TextCase>);

} // namespace
} // namespace tervane
