#pragma once

#include <atomic>

namespace tervane {

// Ctrl-C during a run on several gateways: once asked, no further row, batch or upload is
// sent to any of them, and the command each is in ends within the link's stop bound (a few
// seconds), so that an endless gateway does not hold up the end.
void RequestStop();
bool StopRequested();
void ClearStopRequest();
// The flag itself, for the link: the command under way ends within the link's stop bound.
const std::atomic<bool>& StopFlag();

// While it lives, SIGINT asks for a stop instead of ending the process; a second SIGINT
// ends it as usual.
class StopOnInterrupt {
public:
    StopOnInterrupt();
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;
};

} // namespace tervane
