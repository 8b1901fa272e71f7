// Which values are secrets, and the names changes are listed by.
#include "ProfileChanges.h"

#include <gtest/gtest.h>

#include <string>

namespace tervane {
namespace {

struct SecretCase {
    const char* name;
    const char* path;
    bool secret;
};

class SecretPaths : public ::testing::TestWithParam<SecretCase> { };

TEST_P(SecretPaths, AreHiddenWhereverAValueIsShown)
{
    EXPECT_EQ(IsSecretPath(GetParam().path), GetParam().secret);
    EXPECT_EQ(ShownSettingValue(GetParam().path, "4711"), GetParam().secret ? std::string(kHiddenValue) : "4711");
}

INSTANTIATE_TEST_SUITE_P(Paths, SecretPaths,
    ::testing::Values(SecretCase {"Password", "mobile_simple/password", true},
        SecretCase {"PasswordInCapitals", "MOBILE_SIMPLE/PASSWORD", true}, SecretCase {"Key", "radio/link_key", true},
        SecretCase {"Pin", "mobile_simple/pin", true}, SecretCase {"PinAfterUnderscore", "sim/sim_pin", true},
        SecretCase {"PinInCapitals", "mobile_simple/PIN", true}, SecretCase {"PinGroup", "pin/value", true},
        SecretCase {"Ping", "network/ping_host", false}, SecretCase {"Mapping", "serial/mapping", false},
        SecretCase {"Apn", "mobile_simple/apn", false}),
    [](const auto& row) { return std::string(row.param.name); });

// A firmware or file change is never a secret, whatever its name holds.
TEST(ProfileChanges, OnlySettingsValuesAreHidden)
{
    EXPECT_EQ(ShownValue({ProfileChangeKind::Setting, "a/password", "x", "y"}, "y"), kHiddenValue);
    EXPECT_EQ(ShownValue({ProfileChangeKind::RadioSetting, "radio/key", "x", "y"}, "y"), kHiddenValue);
    EXPECT_EQ(ShownValue({ProfileChangeKind::PythonUpload, "key.py", "x", "y"}, "y"), "y");
    EXPECT_EQ(ShownValue({ProfileChangeKind::Firmware, "firmware", "x", "y"}, "y"), "y");
}

} // namespace
} // namespace tervane
