#include "SettingsPayload.h"

#include <libxml/encoding.h>

#include "SafeXml.h"

#include <algorithm>

namespace tervane {

namespace {

// What libxml2 writes first: the declaration and a line end.
constexpr std::string_view kStandardDeclaration = "<?xml version=\"1.0\"?>";
constexpr std::size_t kDeclarationLength = 22;

// Where a quote stands in libxml2's output, which always delimits attribute values with
// double quotes and never leaves "<" or a double quote raw inside one.
enum class Markup { Content, Tag, AttributeValue, Opaque };

struct OpaqueSection {
    std::string_view open;
    std::string_view close;
};
constexpr OpaqueSection kOpaqueSections[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};

// Attribute values are sent in single quotes: every double quote of the markup from index
// 22 on becomes a single quote. A single quote inside an attribute value would then end
// that value early, so it is written as &apos;; a double quote in element text is written
// as &quot;, so that the value reaches the device unchanged.
std::string QuoteAttributesSingly(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    Markup state = Markup::Content;
    std::string_view opaqueClose;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool rewrite = i >= kDeclarationLength;
        switch (state) {
        case Markup::Content:
            // A quote in a value stays a quote for the device: a password holding one must
            // arrive as typed.
            if (c == '"' && rewrite) {
                out += "&quot;";
                continue;
            }
            if (c == '<') {
                state = Markup::Tag;
                for (const OpaqueSection& section : kOpaqueSections)
                    if (text.substr(i).starts_with(section.open)) {
                        state = Markup::Opaque;
                        opaqueClose = section.close;
                        break;
                    }
            }
            break;
        case Markup::Tag:
            if (c == '"')
                state = Markup::AttributeValue;
            else if (c == '>')
                state = Markup::Content;
            break;
        case Markup::AttributeValue:
            if (c == '"') {
                state = Markup::Tag;
            } else if (c == '\'' && rewrite) {
                out += "&apos;";
                continue;
            }
            break;
        case Markup::Opaque:
            if (text.substr(i).starts_with(opaqueClose)) {
                // The closing marks hold no quote.
                out.append(opaqueClose);
                i += opaqueClose.size() - 1;
                state = Markup::Content;
                continue;
            }
            break;
        }
        out += (c == '"' && rewrite) ? '\'' : c;
    }
    return out;
}

} // namespace

std::string PayloadFromDump(std::string_view dump)
{
    if (dump.empty())
        return {};
    std::string text = QuoteAttributesSingly(dump.substr(0, dump.size() - 1));
    // A longer declaration (one naming an encoding) is sent along, as the device gets it.
    if (text.find(kStandardDeclaration) != std::string::npos)
        text.erase(0, std::min(kDeclarationLength, text.size()));
    return text;
}

namespace {

// The document serialised in `encoding` (its own when null).
std::optional<std::string> Dump(const xmlDoc* document, const char* encoding)
{
    xmlChar* dumped = nullptr;
    int length = 0;
    xmlDocDumpMemoryEnc(const_cast<xmlDoc*>(document), &dumped, &length, encoding);
    const XmlString owner(dumped);
    if (dumped == nullptr || length <= 0)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(dumped), static_cast<std::size_t>(length));
}

// libxml2 writes its own encodings (UTF-8, UTF-16, ISO-8859-1, ASCII) itself; any other
// goes through the system's converter, which splits characters where its pieces meet.
bool WrittenByLibxml(const xmlDoc* document)
{
    if (document->encoding == nullptr)
        return true;
    const xmlCharEncodingHandlerPtr handler =
        xmlFindCharEncodingHandler(reinterpret_cast<const char*>(document->encoding));
    if (handler == nullptr)
        return false;
    const bool own = handler->output != nullptr;
    xmlCharEncCloseFunc(handler);
    return own;
}

// Whether the serialisation reads as text on the 8-bit line: it starts with the
// declaration's own bytes and holds no NUL. UTF-16 and UTF-32 (and EBCDIC) do not.
bool LineCompatible(std::string_view dump)
{
    return dump.starts_with("<?xml") && dump.find('\0') == std::string_view::npos;
}

} // namespace

std::optional<std::string> PrepareSettingsPayload(const xmlDoc* document)
{
    if (document == nullptr)
        return std::nullopt;
    // A document in an encoding libxml2 does not write itself is sent as UTF-8, with a
    // declaration that says so.
    std::optional<std::string> dump = Dump(document, WrittenByLibxml(document) ? nullptr : "UTF-8");
    // A document read from UTF-16 is written in it again; the device gets UTF-8 instead,
    // with a declaration that says so.
    if (dump && !LineCompatible(*dump))
        dump = Dump(document, "UTF-8");
    if (!dump)
        return std::nullopt;
    return PayloadFromDump(*dump);
}

} // namespace tervane
