#include "SimDefaults.h"
#include "SimSettings.h"
#include "SimValueRules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tervane::sim {
namespace {

SimNode Request(const char* xml)
{
    auto node = ParseXml(xml);
    EXPECT_TRUE(node) << xml;
    return node.value_or(SimNode());
}

bool HasError(const SimNode& node)
{
    for (const SimNode& child : node.children) {
        if (child.name == "error" || HasError(child))
            return true;
    }
    return false;
}

struct ValueCase {
    const char* name;
    const char* group;
    const char* setting;
    const char* value;
    std::optional<std::string> stored; // nothing: refused
};

class ValueRules : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueRules, StoreOrRefuse)
{
    const ValueCase& c = GetParam();
    EXPECT_EQ(NormalizeSettingValue(c.group, c.setting, c.value), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ValueRules,
    ::testing::Values(
        ValueCase{"on_off_in_capitals_stored_lower", "telnet_server", "state", "On", "on"},
        ValueCase{"on_off_other_word_refused", "python", "state", "yes", std::nullopt},
        ValueCase{"parity_as_the_page_writes_it", "serial", "parity", "None", "none"},
        ValueCase{"flow_control_hardware", "serial", "flowcontrol", "Hardware", "hardware"},
        ValueCase{"baud_from_the_list", "serial", "baud", "115200", "115200"},
        ValueCase{"baud_off_the_list", "serial", "baud", "12345", std::nullopt},
        ValueCase{"databits_9", "serial", "databits", "9", std::nullopt},
        ValueCase{"port_in_range", "tcp_server", "port", "2101", "2101"},
        ValueCase{"port_zero", "ssh_server", "port", "0", std::nullopt},
        ValueCase{"port_with_letters", "udp_server", "port", "21a", std::nullopt},
        ValueCase{"port_empty", "telnet_server", "port", "", std::nullopt},
        ValueCase{"reconnect_off", "mgmtconnection", "clientConnectionReconnectTimeout", "-32768", "-32768"},
        ValueCase{"reconnect_seconds", "mgmtconnection", "clientConnectionReconnectTimeout", "3725", "3725"},
        ValueCase{"band_listed", "mobile_simple", "mobile_gsm_band", "9", "9"},
        ValueCase{"band_not_listed", "mobile_simple", "mobile_gsm_band", "3", std::nullopt},
        ValueCase{"apn_any_text", "mobile_simple", "apn", "a&b <c>", "a&b <c>"},
        ValueCase{"discover_timeout_252", "radio", "discover_timeout", "252", "252"},
        ValueCase{"discover_timeout_253", "radio", "discover_timeout", "253", std::nullopt},
        ValueCase{"discover_timeout_empty", "radio", "discover_timeout", "", std::nullopt},
        ValueCase{"scan_channels_hex_prefix", "radio", "scan_channels", "0xffff", "0xffff"},
        ValueCase{"scan_channels_bare_hex", "radio", "scan_channels", "FFFF", "FFFF"},
        ValueCase{"scan_channels_too_big", "radio", "scan_channels", "10000", std::nullopt},
        ValueCase{"scan_duration_8", "radio", "scan_duration", "8", std::nullopt},
        ValueCase{"join_time_negative", "radio", "join_time", "-1", std::nullopt},
        ValueCase{"pan_id_zero", "radio", "ext_pan_id", "0", "0"},
        ValueCase{"pan_id_eight_bytes", "radio", "ext_pan_id", "0x0013A200409A0B1C", "0x0013A200409A0B1C"},
        ValueCase{"pan_id_not_hex", "radio", "ext_pan_id", "0xZZ", std::nullopt},
        ValueCase{"pan_id_nine_bytes", "radio", "ext_pan_id", "0x0013A200409A0B1C00", std::nullopt},
        ValueCase{"node_id_21_characters", "radio", "node_id", "ABCDEFGHIJKLMNOPQRSTU", std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SimSettings, AppliesValuesAndReportsEachGroup)
{
    SimSettings settings(DefaultSettingGroups(), {});
    const SimNode reply = settings.Apply(Request(
        "<set_setting><mobile_simple><apn>m2m.example</apn></mobile_simple>"
        "<serial index='1'><baud>115200</baud><parity>Even</parity></serial></set_setting>"));
    EXPECT_FALSE(HasError(reply)) << WriteXml(reply);
    ASSERT_EQ(reply.children.size(), 2u);
    EXPECT_EQ(reply.children[1].Attribute("index"), "1");
    EXPECT_EQ(settings.Value("mobile_simple/apn"), "m2m.example");
    EXPECT_EQ(settings.Value("serial/baud"), "115200");
    EXPECT_EQ(settings.Value("serial/parity"), "even");
}

TEST(SimSettings, GroupWithOneBadValueIsRefusedWhole)
{
    SimSettings settings(DefaultSettingGroups(), {});
    const SimNode reply = settings.Apply(Request(
        "<set_setting><serial><baud>19200</baud><databits>9</databits></serial>"
        "<python><command>other.py</command></python></set_setting>"));
    EXPECT_TRUE(HasError(reply.children[0]));
    EXPECT_FALSE(HasError(reply.children[1]));
    EXPECT_EQ(settings.Value("serial/baud"), "9600");
    EXPECT_EQ(settings.Value("python/command"), "other.py");
}

TEST(SimSettings, IndexChoosesAmongGroupsOfOneName)
{
    SimSettings settings(DefaultSettingGroups(), {});
    settings.Apply(Request("<set_setting><mgmtconnection index='3'><connectionEnabled>on</connectionEnabled>"
                           "<ServerArray index='1'><serverAddress>lka2.example</serverAddress></ServerArray>"
                           "</mgmtconnection></set_setting>"));
    EXPECT_EQ(settings.Value("mgmtconnection&index=3/connectionEnabled"), "on");
    EXPECT_EQ(settings.Value("mgmtconnection&index=3/ServerArray&index=1/serverAddress"), "lka2.example");
    // Without an index the first group is meant.
    EXPECT_EQ(settings.Value("mgmtconnection/connectionEnabled"), "on");
    EXPECT_EQ(settings.Value("mgmtconnection/ServerArray/serverAddress"), "en://dravex.skellin.com");
}

TEST(SimSettings, UnknownGroupsAndSettingsAreErrors)
{
    SimSettings settings(DefaultSettingGroups(), {"telnet_server", "mgmtconnection&index=3"});
    const SimNode reply = settings.Apply(Request(
        "<set_setting><telnet_server><state>off</state></telnet_server>"
        "<mgmtconnection index='3'><connectionEnabled>on</connectionEnabled></mgmtconnection>"
        "<tcp_server><colour>blue</colour></tcp_server></set_setting>"));
    ASSERT_EQ(reply.children.size(), 3u);
    for (const SimNode& group : reply.children)
        EXPECT_TRUE(HasError(group)) << group.name;
    EXPECT_EQ(settings.Value("mgmtconnection/connectionEnabled"), "on");
    EXPECT_EQ(settings.Value("mgmtconnection&index=1/connectionEnabled"), "on");
}

TEST(SimSettings, OmittedPathsAreLeftOut)
{
    SimSettings settings(DefaultSettingGroups(), {"mobile_simple/pin", "mgmtconnection&index=3", "udp_server"});
    EXPECT_FALSE(settings.Value("mobile_simple/pin"));
    EXPECT_TRUE(settings.Value("mobile_simple/apn"));
    EXPECT_FALSE(settings.Value("mgmtconnection&index=3/connectionEnabled"));
    EXPECT_TRUE(settings.Value("mgmtconnection&index=1/connectionEnabled"));
    EXPECT_FALSE(settings.Value("udp_server/port"));
}

TEST(SimSettings, QueryNamesGroupsOrGivesAll)
{
    SimSettings settings(DefaultSettingGroups(), {});
    EXPECT_EQ(settings.Query(SimNode("query_setting")).children.size(), DefaultSettingGroups().size());
    const SimNode some = settings.Query(Request("<query_setting><mgmtconnection/><nothing/></query_setting>"));
    ASSERT_EQ(some.children.size(), 3u);
    EXPECT_EQ(some.children[0].name, "mgmtconnection");
    EXPECT_EQ(some.children[1].Attribute("index"), "3");
    EXPECT_TRUE(HasError(some.children[2]));
}

TEST(SimSettings, FactoryRestoreUndoesChanges)
{
    SimSettings settings(DefaultSettingGroups(), {"python"});
    settings.Apply(Request("<set_setting><mobile_simple><apn>x</apn></mobile_simple></set_setting>"));
    ASSERT_TRUE(settings.SetValue("serial/baud", "1234567"));
    settings.RestoreFactory();
    EXPECT_EQ(settings.Value("mobile_simple/apn"), "internet.tervane");
    EXPECT_EQ(settings.Value("serial/baud"), "9600");
    EXPECT_FALSE(settings.Value("python/state")); // left out stays out
}

TEST(SimSettings, ValuesSurviveXmlRoundTrip)
{
    SimSettings settings(DefaultSettingGroups(), {});
    settings.Apply(Request("<set_setting><mobile_simple><password>p&amp;ss&lt;\"x\"</password></mobile_simple>"
                           "</set_setting>"));
    EXPECT_EQ(settings.Value("mobile_simple/password"), "p&ss<\"x\"");
    const auto again = ParseXml(WriteXml(settings.Query(SimNode("query_setting"))));
    ASSERT_TRUE(again);
    SimSettings copy(again->children, {});
    EXPECT_EQ(copy.Value("mobile_simple/password"), "p&ss<\"x\"");
}

} // namespace
} // namespace tervane::sim
