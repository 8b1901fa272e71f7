#pragma once

#include "DeviceConfig.h"
#include "SimXml.h"

#include <string>

namespace tervane::sim {

// What the device reports about itself: the groups of query_state and the modem's facts.
class SimState {
public:
    explicit SimState(const DeviceConfig& config);

    const DeviceConfig& Config() const { return m_config; }

    std::string firmwareVersion;
    std::string radioFirmwareVersion;
    int signalQuality = 0;
    // Follow the configuration and the noRadio / noSim faults.
    bool radioPresent = true;
    bool simPresent = true;

    std::string Product() const;
    std::string MobileIpAddress() const;

    // The query_state reply element: every group, or only those the request names.
    SimNode Query(const SimNode& request) const;
    SimNode ZigbeeState() const;

private:
    DeviceConfig m_config;
};

} // namespace tervane::sim
