#pragma once

#include "SimXml.h"

#include <vector>

namespace tervane::sim {

// Factory settings of a Q7, one element per setting group, as query_setting lists them.
std::vector<SimNode> DefaultSettingGroups();

// Factory settings of the Ravlo radio module (the radio group of the zigbee query_setting).
std::vector<SimNode> DefaultRadioGroups();

} // namespace tervane::sim
