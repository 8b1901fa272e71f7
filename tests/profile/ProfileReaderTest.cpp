// The reader's values as the apply gets them: nested keys joined into one path, each with
// the key and line a problem would name, and the autostart turned into setting values.
#include "ProfileReader.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tervane {
namespace {

using Row = std::tuple<std::string, std::string, std::string, int>; // path, value, key, line

std::vector<Row> Rows(const std::vector<ProfileValue>& values)
{
    std::vector<Row> rows;
    for (const auto& value : values)
        rows.emplace_back(value.path, value.value, value.place.key, value.place.line);
    return rows;
}

TEST(ProfileReader, NestedKeysJoinIntoOnePathWithTheirPlace)
{
    const ProfileRead read = ReadProfileText("settings:\n"
                                             "  mobile_simple:\n"
                                             "    apn: fleet.example\n"
                                             "  serial&index=1: {baud: '9600'}\n"
                                             "  system/location: Mast 4\n"
                                             "radio:\n"
                                             "  radio: {node_id: GW-7}\n",
        "/profiles/g.yaml");
    ASSERT_TRUE(read.Good()) << read.problems.front();
    EXPECT_EQ(Rows(read.profile.settings),
        (std::vector<Row> {
            {"mobile_simple/apn", "fleet.example", "settings.mobile_simple/apn", 3},
            {"serial&index=1/baud", "9600", "settings.serial&index=1/baud", 4},
            {"system/location", "Mast 4", "settings.system/location", 5},
        }));
    EXPECT_EQ(Rows(read.profile.radio), (std::vector<Row> {{"radio/node_id", "GW-7", "radio.radio/node_id", 7}}));
}

struct AutoStartCase {
    const char* name;
    const char* text;
    std::vector<std::pair<std::string, std::string>> values;
};

class ProfileAutoStart : public ::testing::TestWithParam<AutoStartCase> { };

TEST_P(ProfileAutoStart, BecomesTheSettingsValues)
{
    const ProfileRead read = ReadProfileText(GetParam().text, "/profiles/g.yaml");
    ASSERT_TRUE(read.Good()) << read.problems.front();
    std::vector<std::pair<std::string, std::string>> values;
    for (const auto& value : read.profile.settings)
        values.emplace_back(value.path, value.value);
    EXPECT_EQ(values, GetParam().values);
}

INSTANTIATE_TEST_SUITE_P(Forms, ProfileAutoStart,
    ::testing::Values(AutoStartCase {"EnabledWithCommand", "python:\n  autostart: {enabled: true, command: fleet.py}\n",
                          {{"python/state", "on"}, {"python/command", "fleet.py"}}},
        AutoStartCase {"Disabled", "python:\n  autostart: {enabled: false}\n", {{"python/state", "off"}}},
        AutoStartCase {"CommandOnly", "python:\n  autostart: {command: x.py --fast}\n",
            {{"python/command", "x.py --fast"}}}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace tervane
