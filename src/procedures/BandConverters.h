#pragma once

#include <string>
#include <string_view>

namespace tervane {

// The GSM band labels of the "Band Configuration" list, in list order, one per line.
inline constexpr std::string_view kBandChoiceList =
    "850/1900 MHz (North America)\n"
    "900/1800 MHz (Europe/World)\n"
    "850 MHz\n"
    "900 MHz\n"
    "1800 MHz\n"
    "1900 MHz\n"
    "900/1900 MHz";

// The label of the band number at the start of the device's text (read like atoi); empty
// for a number the device's band list does not know.
std::string BandValueToLabel(std::string_view text);

// The device's band number, as decimal text, of a label matched exactly; empty when the
// label is none of the list's.
std::string BandLabelToValue(std::string_view label);

} // namespace tervane
