#include "BandConverters.h"

#include "BindingTable.h"

#include <array>
#include <cstdint>

namespace tervane {

namespace {

struct Band {
    int32_t value;
    std::string_view label;
};

constexpr std::array<Band, 7> kBands{{
    {1, "850 MHz"},
    {2, "900 MHz"},
    {4, "1800 MHz"},
    {6, "900/1800 MHz (Europe/World)"},
    {8, "1900 MHz"},
    {9, "850/1900 MHz (North America)"},
    {10, "900/1900 MHz"},
}};

} // namespace

std::string BandValueToLabel(std::string_view text)
{
    const int32_t value = ReadDecimal(text);
    for (const Band& band : kBands)
        if (band.value == value)
            return std::string(band.label);
    return {};
}

std::string BandLabelToValue(std::string_view label)
{
    for (const Band& band : kBands)
        if (band.label == label)
            return std::to_string(band.value);
    return {};
}

} // namespace tervane
