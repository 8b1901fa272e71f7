#pragma once

#include "Clock.h"
#include "SerialLink.h"
#include "SimulatedQ7.h"
#include "TestSupport.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tervane::test {

// A simulated device that restarts in a fifth of a second.
sim::DeviceConfig FastRestarts();

// While `device` restarts, `clock`'s pauses pass at real speed: a wait for the port to come back
// then cannot run out before the device is back, however loaded the machine is.
void HoldDuringRestarts(FastClock& clock, const sim::SimulatedQ7& device);

// Starts `device` with `faults` and opens `link` on its port: the one way a test puts a link
// on the simulated device. False when the device does not start or the port does not open.
bool StartAndOpen(sim::SimulatedQ7& device, SerialLink& link, const sim::Faults& faults = {});

// Whether any command the device received holds `fragment`.
bool AnyReceived(const sim::SimulatedQ7& device, std::string_view fragment);
// Position of the first received command holding `fragment` at or after `from`; -1 when none.
long FindReceived(const sim::SimulatedQ7& device, std::string_view fragment, long from = 0);

} // namespace tervane::test
