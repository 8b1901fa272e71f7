#include "ManagementConverters.h"

#include <algorithm>
#include <limits>

namespace tervane {

ScreenInterval IntervalToScreen(int32_t interval)
{
    if (interval < 0)
        return {0, 0, 1, 0};
    return {1, interval / 3600, interval % 3600 / 60, interval % 60};
}

int32_t ScreenToInterval(const ScreenInterval& screen)
{
    if (screen.enabled == 0)
        return kIntervalOff;
    // The page checks the time before it gets here; the sum is kept within 32 bits anyway.
    const int64_t seconds = (int64_t{screen.hours} * 60 + screen.minutes) * 60 + screen.seconds;
    return static_cast<int32_t>(std::clamp<int64_t>(seconds, std::numeric_limits<int32_t>::min(),
        std::numeric_limits<int32_t>::max()));
}

std::string StripServerPrefix(std::string_view text)
{
    const std::size_t at = text.find(kServerPrefix);
    if (at == std::string_view::npos)
        return std::string(text);
    return std::string(text.substr(at + kServerPrefix.size()));
}

std::string AddServerPrefix(std::string_view text)
{
    if (text.find(kServerPrefix) != std::string_view::npos)
        return std::string(text);
    std::string prefixed(kServerPrefix);
    prefixed += text;
    return prefixed;
}

} // namespace tervane
