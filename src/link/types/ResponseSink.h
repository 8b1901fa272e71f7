#pragma once

#include <string_view>

namespace tervane {

// Takes a long answer as it arrives instead of a buffer holding it whole (a file in Base64).
// Called on the thread that reads.
class ResponseSink {
public:
    virtual ~ResponseSink() = default;
    // The next bytes of the raw answer, in order, up to the receive room's size.
    virtual void Take(std::string_view raw) = 0;
    // The answer has ended: no more Take follows.
    virtual void Ended() { }
};

} // namespace tervane
