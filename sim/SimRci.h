#pragma once

#include "Faults.h"
#include "SimFileStore.h"
#include "SimSettings.h"
#include "SimState.h"

#include <optional>
#include <string>
#include <string_view>

namespace tervane::sim {

// The device's RCI service: answers one rci_request with an rci_reply document.
class SimRci {
public:
    // `faults` is read on every answer; the owner guards it as it guards the rest.
    SimRci(SimSettings& settings, SimSettings& radio, SimFileStore& files, SimState& state, const Faults& faults);

    // The reply document, or nothing when the request is not XML at all.
    std::optional<std::string> Answer(std::string_view request);

private:
    // A zigbee request to a device without a configured radio, answered with the text alone.
    bool AnswersBareNoRadio(const SimNode& request) const;
    SimNode Command(const SimNode& command);
    SimNode Zigbee(const SimNode& doCommand);
    SimNode FileSystem(const SimNode& doCommand);
    SimNode FileList(const SimNode& ls) const;
    SimNode FileData(const SimNode& getFile) const;
    SimNode FileRemoval(const SimNode& rm);
    // The size the listing gives: the file's own, or the listedSize fault's text.
    std::string ListedSize(std::size_t size) const;
    SimNode RadioUpdate(const SimNode& fwUpdate);

    SimSettings& m_settings;
    SimSettings& m_radio;
    SimFileStore& m_files;
    SimState& m_state;
    const Faults& m_faults;
};

} // namespace tervane::sim
