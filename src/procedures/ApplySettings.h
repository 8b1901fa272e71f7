#pragma once

namespace tervane {

class DeviceRunner;
class RciDocuments;

// Sends the whole settings document to the device, waits for it to take effect and reads
// the settings back into the document. With no document nothing is sent. False when
// nothing was sent.
bool OnApplySettings(RciDocuments& documents, DeviceRunner& runner);

// The same for the radio settings document, read back at once.
bool OnApplyRadioSettings(RciDocuments& documents, DeviceRunner& runner);

} // namespace tervane
