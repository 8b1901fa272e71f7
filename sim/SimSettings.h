#pragma once

#include "SimXml.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tervane::sim {

// One settings store of the device (the device settings, or the radio's): a list of setting
// groups that query_setting reports and set_setting changes. Paths name an element by its steps,
// "group/setting", where a step may select an index: "mgmtconnection&index=3/ServerArray&index=1/serverAddress".
class SimSettings {
public:
    // The factory settings, less the elements that `omitted` names.
    SimSettings(std::vector<SimNode> factory, const std::set<std::string>& omitted);

    const std::vector<SimNode>& Groups() const { return m_groups; }

    // The query_setting reply element: every group, or only those the request names.
    SimNode Query(const SimNode& request) const;
    // Applies a set_setting request; the reply element names each group, empty when it was taken
    // and holding error elements when it was refused. A group is taken whole or not at all.
    // `refused`: names of settings whose new values are refused whatever they are.
    SimNode Apply(const SimNode& request, const std::vector<std::string>& refused = {});
    void RestoreFactory();

    std::optional<std::string> Value(std::string_view path) const;
    // Sets a value as it stands, without the device's checks; false when the path names no setting.
    bool SetValue(std::string_view path, std::string value);

private:
    std::vector<SimNode> m_factory;
    std::vector<SimNode> m_groups;
};

} // namespace tervane::sim
