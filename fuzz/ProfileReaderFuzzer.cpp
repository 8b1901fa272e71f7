// The profile reader over arbitrary text: it never crashes, never expands aliases (the
// fuzzer's memory and time limits catch any text that makes work out of proportion to its
// size), and every problem names the profile.
#include "FuzzInput.h"
#include "ProfileReader.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A folder that does not exist: file names in the profile reach nothing on this machine.
    static const std::string path = "/nonexistent-tervane-fuzz/profile.yaml";
    const tervane::ProfileRead read = tervane::ReadProfileText(tervane::fuzz::AsText(data, size), path);
    for (const auto& problem : read.problems)
        FUZZ_CHECK(problem.starts_with(path + ":"));
    if (read.Good()) {
        FUZZ_CHECK(read.profile.pythonPresent.empty());
        // A version alone is a check; an image would have to be a file in that folder.
        FUZZ_CHECK(!read.profile.firmware || read.profile.firmware->imagePath.empty());
        FUZZ_CHECK(!read.profile.radioFirmware || read.profile.radioFirmware->imagePath.empty());
    }
    return 0;
}
