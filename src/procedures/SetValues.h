#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tervane {

class DeviceRunner;
class RciDocuments;

// One wanted value of a settings document, by setting path.
struct PathValue {
    std::string path;
    std::string value;
};

// Which document the values belong to.
enum class SettingsDocumentKind { Settings, RadioSettings };

// What became of one value.
struct PathValueOutcome {
    std::string path;
    // What the device holds at the path after the read-back, as it holds it; none when the
    // path no longer resolves (or nothing was read back).
    std::optional<std::string> held;
    // The device holds the value as it was stored (a page's text made into character data).
    bool kept = false;
    // The value was not kept and the device refused the request: its error text.
    std::optional<std::string> refused;
};

struct SetValuesResult {
    // The document went to the device.
    bool sent = false;
    // The read-back answered and parsed; without it no `held` or `kept` is known.
    bool readBack = false;
    // The device's refusal of the request, as ApplyOutcome gives it.
    std::optional<std::string> refused;
    // One per wanted value, in the order given.
    std::vector<PathValueOutcome> values;
};

// Stores each value at its path in the document, applies the whole document, reads it
// back and compares each path's held value with the value as stored. Every path must
// resolve in the document before the call; one that does not is not stored.
SetValuesResult SetValues(const std::vector<PathValue>& values, SettingsDocumentKind kind, RciDocuments& documents,
    DeviceRunner& runner);

} // namespace tervane
