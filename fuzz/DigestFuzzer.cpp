// The digest comparison against its rule: a local digest of 32 lower-case hexadecimal
// characters equals the device's answer once the answer's CRs and LFs are gone.
#include "FuzzInput.h"
#include "TransferVerification.h"

#include <algorithm>
#include <string>

namespace {

bool IsDigestText(std::string_view text)
{
    return text.size() == 32
           && std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto [local, answer] = tervane::fuzz::SplitAtZero(tervane::fuzz::AsText(data, size));
    std::string compared;
    for (char c : answer)
        if (c != '\r' && c != '\n')
            compared += c;
    FUZZ_CHECK(tervane::DeviceDigestText(answer) == compared);
    FUZZ_CHECK(tervane::DigestsMatch(local, answer) == (IsDigestText(local) && compared == local));
    // Messages quote both texts; they must not fail on any of them.
    FUZZ_CHECK(!tervane::DownloadMismatchMessage(local, answer).empty());
    return 0;
}
