#include "SimState.h"

namespace tervane::sim {

namespace {

SimNode Leaf(const char* name, std::string value)
{
    return SimNode(name, std::move(value));
}

} // namespace

SimState::SimState(const DeviceConfig& config)
    : firmwareVersion(config.firmwareVersion)
    , radioFirmwareVersion(config.radioFirmwareVersion)
    , signalQuality(config.signalQuality)
    , radioPresent(config.radioConfigured)
    , m_config(config)
{
}

std::string SimState::Product() const
{
    return "Skellin " + m_config.model;
}

std::string SimState::MobileIpAddress() const
{
    return simPresent ? m_config.mobileIpAddress : "0.0.0.0";
}

SimNode SimState::ZigbeeState() const
{
    SimNode zigbee("zigbee_state");
    zigbee.Add(Leaf("gateway_addr", "00:13:a2:00:40:9a:0b:1c!"))
        .Add(Leaf("caps", "0x3"))
        .Add(Leaf("pan_id", "0x1A2B"))
        .Add(Leaf("ext_pan_id", "0x0013A200409A0B1C"))
        .Add(Leaf("channel", "0x0F"))
        .Add(Leaf("net_addr", "0x0000"))
        .Add(Leaf("association", "0x0"))
        .Add(Leaf("firmware_version", radioFirmwareVersion))
        .Add(Leaf("hardware_version", "0x1E42"))
        .Add(Leaf("children", "2"))
        .Add(Leaf("max_payload", "84"));
    return zigbee;
}

SimNode SimState::Query(const SimNode& request) const
{
    SimNode deviceInfo("device_info");
    deviceInfo.Add(Leaf("mac", "00:40:9D:5A:31:C7"))
        .Add(Leaf("product", Product()))
        .Add(Leaf("model", m_config.model))
        .Add(Leaf("company", "Skellin"))
        .Add(Leaf("os_name", "eos"))
        .Add(Leaf("firmware", firmwareVersion))
        .Add(Leaf("firmwaresoftrevstr", firmwareVersion))
        .Add(Leaf("bootversion", "1.1.3"))
        .Add(Leaf("hardwarerevision", "C"));

    SimNode mobile("mobile_stats");
    mobile.Add(Leaf("modem_type", m_config.manufacturer))
        .Add(Leaf("iccid", simPresent ? m_config.iccid : ""))
        .Add(Leaf("imsi", simPresent ? m_config.imsi : ""))
        .Add(Leaf("rssi", std::to_string(2 * signalQuality - 113)))
        .Add(Leaf("registration", simPresent ? "registered (home)" : "not registered"))
        .Add(Leaf("network_name", simPresent ? "Tervane Mobile" : ""));

    SimNode ppp("ppp_stats");
    ppp.Attr("index", "1")
        .Add(Leaf("state", simPresent ? "up" : "down"))
        .Add(Leaf("ip_address", MobileIpAddress()))
        .Add(Leaf("rx_bytes", simPresent ? "48213" : "0"))
        .Add(Leaf("tx_bytes", simPresent ? "20977" : "0"));

    SimNode uptime("device_stats");
    uptime.Add(Leaf("cpu", "7")).Add(Leaf("usedmem", "5861376")).Add(Leaf("totalmem", "16777216"));

    std::vector<SimNode> groups = {deviceInfo, mobile, ppp, uptime};
    if (radioPresent)
        groups.push_back(ZigbeeState());

    SimNode reply("query_state");
    if (request.children.empty()) {
        reply.children = std::move(groups);
        return reply;
    }
    for (const SimNode& wanted : request.children) {
        bool any = false;
        for (const SimNode& group : groups) {
            if (NamesEqual(group.name, wanted.name)) {
                reply.Add(group);
                any = true;
            }
        }
        if (!any)
            reply.Add(SimNode(wanted.name).Add(ErrorNode(1, "Unknown state group")));
    }
    return reply;
}

} // namespace tervane::sim
