#pragma once

#include <libxml/tree.h>

#include <string>
#include <string_view>

namespace tervane {

// Element names, the index attribute and on/off words compare with only A to Z folded to
// a to z: the same in every locale, other bytes compared as they are.
inline char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool AsciiIEquals(std::string_view a, std::string_view b);
// The same for a zero-terminated libxml2 text (false for none), compared without measuring
// it first: the walk stops at the first difference, so a long text costs no more than `b`.
bool AsciiIEquals(const xmlChar* text, std::string_view b);
bool AsciiIStartsWith(std::string_view text, std::string_view prefix);

// A libxml2 text (UTF-8) as a view; empty for none.
std::string_view XmlView(const xmlChar* text);

// The text an element holds: the content of its first child, empty when it has none.
std::string ElementText(xmlNodePtr element);

// Turns a page's text into character data a document can carry and serialise: valid UTF-8
// is kept; a byte that is not part of valid UTF-8 is read as Latin-1 (the 8-bit texts of
// older pages); characters XML 1.0 cannot hold (control characters other than tab, line
// feed and carriage return, U+FFFE, U+FFFF) are dropped. libxml2 would otherwise drop the
// element's whole text when serialising.
std::string ToXmlCharData(std::string_view text);

// Replaces the element's children by one text node holding `text` literally (no entity
// references are read); an empty text leaves the element empty.
void SetElementText(xmlNodePtr element, std::string_view text);

} // namespace tervane
