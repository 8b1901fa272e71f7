#pragma once

#include <optional>
#include <string>

namespace tervane {

class DeviceRunner;
class RciDocuments;

// What an apply did on the device, step by step.
struct ApplyOutcome {
    // The document went to the device; false when there was none to send.
    bool sent = false;
    // Why the device did not take the new values: the RCI error text of its reply, or
    // "an error answer or none" when a step failed outright. None when it took them.
    std::optional<std::string> refused;
    // The refusal is the device's own words: its reply came with OK and held an RCI error.
    bool refusedInReply = false;
    // The read-back answered and parsed: the document holds what the device holds. When
    // false, the document still holds the values as stored and proves nothing.
    bool readBack = false;

    explicit operator bool() const { return sent; }
};

// Sends the whole settings document to the device, waits for it to take effect and reads
// the settings back into the document. With no document nothing is sent.
ApplyOutcome OnApplySettings(RciDocuments& documents, DeviceRunner& runner);

// The same for the radio settings document, read back at once.
ApplyOutcome OnApplyRadioSettings(RciDocuments& documents, DeviceRunner& runner);

} // namespace tervane
