// Cleaning against a literal, slow reading of its rules: remove the print and transfer
// spans one pair at a time, cut the first matching ending, the echo, then trim. Both forms are
// checked, into another string and where the answer lies.
#include "CleanResponse.h"
#include "FuzzInput.h"

#include <string>

namespace {

void RemoveSpans(std::string& text, const std::string& open, const std::string& close)
{
    for (;;) {
        const std::size_t start = text.find(open);
        if (start == std::string::npos)
            return;
        const std::size_t end = text.find(close, start + open.size());
        if (end == std::string::npos)
            return;
        text.erase(start, end + close.size() - start);
    }
}

bool EndsWith(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

bool ReferenceClean(const std::string& command, const std::string& raw, std::string& cleaned)
{
    std::string work = raw;
    bool result = true;
    RemoveSpans(work, "<pyPrint>", "</pyPrint>");
    RemoveSpans(work, "<usb>", "</usb>");
    const std::string ack = std::string("\r\n") + char(6) + "\r\n";
    if (work.size() >= 4 && EndsWith(work, "OK\r\n")) {
        work.resize(work.size() - 4);
    } else if (work.size() >= 5 && EndsWith(work, "SLEEP")) {
        work.resize(work.size() - 5);
    } else if (work.size() >= 7 && EndsWith(work, "ERROR\r\n")) {
        work.resize(work.size() - 7);
        result = false;
    } else if (work.size() >= 5 && EndsWith(work, ack)) {
        work.resize(work.size() - 5);
    }
    if (work.compare(0, command.size(), command) == 0)
        work.erase(0, command.size());
    const char* trim = " \r\n";
    const std::size_t first = work.find_first_not_of(trim);
    if (first == std::string::npos) {
        work.clear();
    } else {
        work.erase(work.find_last_not_of(trim) + 1);
        work.erase(0, first);
    }
    cleaned = work;
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto [command, raw] = tervane::fuzz::SplitAtZero(tervane::fuzz::AsText(data, size));
    std::string expected;
    const bool expectedResult = ReferenceClean(std::string(command), std::string(raw), expected);

    std::string cleaned;
    FUZZ_CHECK(tervane::CleanResponse(command, raw, cleaned) == expectedResult);
    FUZZ_CHECK(cleaned == expected);
    FUZZ_CHECK(cleaned.size() <= raw.size());
    std::string inPlace(raw);
    FUZZ_CHECK(tervane::CleanResponse(command, inPlace) == expectedResult);
    FUZZ_CHECK(inPlace == expected);
    return 0;
}
