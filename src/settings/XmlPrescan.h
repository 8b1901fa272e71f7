#pragma once

#include <cstddef>
#include <string_view>

namespace tervane {

// No element of a real RCI document carries more than a handful of attributes (the most is
// a file entry's name, size and dates). An element with more is refused before parsing:
// libxml2 checks each new attribute against all earlier ones of its element, so a single
// element with very many attributes would make the parse quadratic in the reply's size.
inline constexpr std::size_t kMaxXmlAttributesPerElement = 32;

// True when some start tag in `text` holds more than `limit` attributes. One pass over the
// text, skipping comments, CDATA sections, processing instructions and quoted values;
// each "=" outside a quoted value inside a start tag counts as one attribute.
bool HasAttributeHeavyElement(std::string_view text, std::size_t limit = kMaxXmlAttributesPerElement);

} // namespace tervane
