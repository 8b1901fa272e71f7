// The simulated device's input cutting: the same bytes give the same inputs whether they
// arrive at once or in pieces, and each command's echo is the bytes that carried it.
#include "FuzzInput.h"
#include "SimCommandParser.h"

#include <string>
#include <vector>

namespace {

using tervane::sim::SimCommandParser;
using tervane::sim::SimInput;

// Switches modes the way the device does: a bare request after at&usbinterface=22, upload
// data after a numbered upload announcement.
void Follow(SimCommandParser& parser, const SimInput& input)
{
    if (input.kind != SimInput::Kind::Line)
        return;
    if (input.text == "at&usbinterface=22")
        parser.ExpectRawRequest();
    else if (input.text.rfind("at&usbinterface=18,", 0) == 0)
        parser.ExpectData(input.text.size() % 16);
}

std::vector<SimInput> Run(std::string_view bytes, std::size_t piece)
{
    SimCommandParser parser;
    std::vector<SimInput> got;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        parser.Feed(bytes.substr(at, piece));
        while (auto input = parser.Next()) {
            Follow(parser, *input);
            got.push_back(std::move(*input));
        }
    }
    while (parser.AwaitingSettle()) {
        auto input = parser.Settle();
        if (!input)
            break;
        Follow(parser, *input);
        got.push_back(std::move(*input));
        while (auto next = parser.Next()) {
            Follow(parser, *next);
            got.push_back(std::move(*next));
        }
    }
    if (auto rest = parser.Abandon())
        got.push_back(std::move(*rest));
    return got;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 7;
    const std::string_view bytes = tervane::fuzz::AsText(data + 1, size - 1);
    const std::vector<SimInput> whole = Run(bytes, bytes.size() + 1);
    const std::vector<SimInput> pieces = Run(bytes, piece);
    FUZZ_CHECK(whole.size() == pieces.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        FUZZ_CHECK(whole[i].kind == pieces[i].kind);
        FUZZ_CHECK(whole[i].text == pieces[i].text);
        FUZZ_CHECK(whole[i].echo == pieces[i].echo);
        if (whole[i].kind == SimInput::Kind::Line)
            FUZZ_CHECK(whole[i].echo.compare(0, whole[i].text.size(), whole[i].text) == 0);
        FUZZ_CHECK(bytes.find(whole[i].echo) != std::string_view::npos);
    }
    return 0;
}
