#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tervane {

// A reconnect or retry interval of this many seconds (any negative one, when read) means
// the device does not reconnect or retry at all.
inline constexpr int32_t kIntervalOff = -32768;

// The scheme the device keeps in front of the device-initiated server address.
inline constexpr std::string_view kServerPrefix = "en://";

// An interval as the page shows it: the check box that switches it on and the time.
struct ScreenInterval {
    int32_t enabled = 0;
    int32_t hours = 0;
    int32_t minutes = 0;
    int32_t seconds = 0;

    bool operator==(const ScreenInterval&) const = default;
};

// Seconds from the device to the screen. Off shows the box clear and one minute, ready
// for the user to switch it on.
ScreenInterval IntervalToScreen(int32_t interval);

// The screen back to seconds; kIntervalOff while the box is clear.
int32_t ScreenToInterval(const ScreenInterval& screen);

// The device's server address without the scheme: everything after the first "en://",
// or the text as it is when it holds none.
std::string StripServerPrefix(std::string_view text);

// The typed address with the scheme in front, unless the user typed it already.
std::string AddServerPrefix(std::string_view text);

} // namespace tervane
