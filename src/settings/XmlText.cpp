#include "XmlText.h"

#include "SafeXml.h"

#include <climits>
#include <cstdint>

namespace tervane {

namespace {

bool XmlCanHold(uint32_t code)
{
    if (code < 0x20)
        return code == 0x09 || code == 0x0A || code == 0x0D;
    return code != 0xFFFE && code != 0xFFFF;
}

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence at `i` and its code point; 0 when the bytes
// there are not one (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view s, std::size_t i, uint32_t& code)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    uint32_t min = 0;
    if (b0 < 0x80) {
        code = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2; code = b0 & 0x1F; min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3; code = b0 & 0x0F; min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4; code = b0 & 0x07; min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (b & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

bool AsciiIEquals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

bool AsciiIEquals(const xmlChar* text, std::string_view b)
{
    if (text == nullptr)
        return false;
    const char* c = reinterpret_cast<const char*>(text);
    for (const char wanted : b) {
        if (*c == '\0' || FoldAscii(*c) != FoldAscii(wanted))
            return false;
        ++c;
    }
    return *c == '\0';
}

bool AsciiIStartsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && AsciiIEquals(text.substr(0, prefix.size()), prefix);
}

std::string_view XmlView(const xmlChar* text)
{
    return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

std::string ToXmlCharData(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        uint32_t code = 0;
        std::size_t len = DecodeUtf8(text, i, code);
        if (len == 0) {
            code = static_cast<unsigned char>(text[i]);
            len = 1;
        }
        if (XmlCanHold(code))
            AppendUtf8(out, code);
        i += len;
    }
    return out;
}

void SetElementText(xmlNodePtr element, std::string_view text)
{
    if (element == nullptr)
        return;
    // Dropping the children through xmlNodeSetContent with no content never parses text.
    xmlNodeSetContent(element, nullptr);
    const std::string data = ToXmlCharData(text);
    if (data.empty() || data.size() > static_cast<std::size_t>(INT_MAX))
        return;
    xmlNodePtr node = xmlNewDocTextLen(element->doc, reinterpret_cast<const xmlChar*>(data.data()),
                                       static_cast<int>(data.size()));
    if (node != nullptr && xmlAddChild(element, node) == nullptr)
        xmlFreeNode(node);
}

std::string ElementText(xmlNodePtr element)
{
    if (element == nullptr || element->children == nullptr)
        return {};
    const xmlNodePtr first = element->children;
    // A text child holds its content as it is; other kinds are read through libxml2.
    if (first->type == XML_TEXT_NODE || first->type == XML_CDATA_SECTION_NODE)
        return std::string(XmlView(first->content));
    const XmlString text(xmlNodeGetContent(first));
    return std::string(XmlView(text.get()));
}

} // namespace tervane
