#pragma once

namespace tervane {

// Ctrl-C during a run on several gateways: once asked, no further batch or upload is sent
// to any of them; the command each is in finishes or times out, so nothing is left
// half-done on a device or on disk.
void RequestStop();
bool StopRequested();
void ClearStopRequest();

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
