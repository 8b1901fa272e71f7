#include "SimDefaults.h"

#include <initializer_list>
#include <utility>

namespace tervane::sim {

namespace {

using Values = std::initializer_list<std::pair<const char*, const char*>>;

SimNode Group(const char* name, Values values, const char* index = nullptr)
{
    SimNode group(name);
    if (index)
        group.Attr("index", index);
    for (const auto& [setting, value] : values)
        group.Add(SimNode(setting, value));
    return group;
}

SimNode ServerArray(const char* address)
{
    return Group("ServerArray", {{"serverAddress", address}, {"securityType", "none"}}, "1");
}

} // namespace

std::vector<SimNode> DefaultSettingGroups()
{
    SimNode deviceInitiated = Group("mgmtconnection",
        {{"connectionType", "client"},
         {"connectionEnabled", "on"},
         {"lastKnownAddressUpdateEnabled", "off"},
         {"clientConnectionReconnectTimeout", "3725"},
         {"pagedConnectionOverrideEnabled", "off"}},
        "1");
    deviceInitiated.Add(ServerArray("en://dravex.skellin.com"));

    SimNode serverInitiated = Group("mgmtconnection",
        {{"connectionType", "serverInitiated"},
         {"connectionEnabled", "off"},
         {"lastKnownAddressUpdateEnabled", "on"},
         {"clientConnectionReconnectTimeout", "-32768"}},
        "3");
    serverInitiated.Add(ServerArray("lka.skellin.com"));

    return {
        Group("system", {{"description", "Q7 gateway"}, {"contact", ""}, {"location", "Building 2, roof"}}),
        Group("mobile_simple",
              {{"apn", "internet.tervane"},
               {"username", ""},
               {"password", ""},
               {"pin", ""},
               {"mobile_gsm_band", "6"}}),
        deviceInitiated,
        serverInitiated,
        Group("serial",
              {{"baud", "9600"}, {"databits", "8"}, {"parity", "none"}, {"stopbits", "1"}, {"flowcontrol", "none"}},
              "1"),
        Group("telnet_server", {{"state", "on"}, {"port", "2001"}, {"keepalive", "on"}}),
        Group("tcp_server", {{"state", "on"}, {"port", "2101"}, {"keepalive", "on"}}),
        Group("ssh_server", {{"state", "off"}, {"port", "2501"}, {"keepalive", "on"}}),
        Group("securesocket", {{"state", "off"}, {"port", "2601"}, {"keepalive", "off"}}),
        Group("udp_server", {{"state", "off"}, {"port", "2101"}}),
        Group("python", {{"state", "off"}, {"command", "main.py"}}, "1"),
    };
}

std::vector<SimNode> DefaultRadioGroups()
{
    return {Group("radio",
                  {{"ext_pan_id", "0x0"},
                   {"node_id", "GATEWAY"},
                   {"discover_timeout", "60"},
                   {"scan_channels", "0x7FFF"},
                   {"scan_duration", "3"},
                   {"join_time", "255"},
                   {"power_level", "4"},
                   {"encryption_enabled", "off"}})};
}

} // namespace tervane::sim
