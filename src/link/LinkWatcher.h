#pragma once

#include <cstdint>

namespace tervane {

// Told by the link how its device comes and goes, on whichever thread uses the link (the
// worker of a progress dialog, mostly): whoever shows it hands it to the window's thread.
class LinkWatcher {
public:
    virtual ~LinkWatcher() = default;
    // The device went away: the link keeps re-opening its port for at most `msLeft` more.
    virtual void WaitingForDevice(uint32_t msLeft) = 0;
    // The port is open again after the device went away.
    virtual void DeviceBack() = 0;
    // The link stopped waiting and its port is closed: the device is not connected.
    virtual void DeviceNotConnected() = 0;
    // The device ended an answer with a final result code.
    virtual void DeviceAnswered() = 0;
};

} // namespace tervane
