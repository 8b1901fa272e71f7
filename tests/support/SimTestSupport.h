#pragma once

#include "Clock.h"
#include "SimulatedQ7.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tervane::test {

// A simulated device that restarts in a fifth of a second.
sim::DeviceConfig FastRestarts();

// While `device` restarts, `clock`'s pauses pass at real speed: a wait for the port to come back
// then cannot run out before the device is back, however loaded the machine is.
void HoldDuringRestarts(FastClock& clock, const sim::SimulatedQ7& device);

// Bytes that are not text, so that every byte value and line end goes through a transfer.
std::string Pattern(std::size_t size, unsigned seed = 7);

// Whether any command the device received holds `fragment`.
bool AnyReceived(const sim::SimulatedQ7& device, std::string_view fragment);
// Position of the first received command holding `fragment` at or after `from`; -1 when none.
long FindReceived(const sim::SimulatedQ7& device, std::string_view fragment, long from = 0);

} // namespace tervane::test
