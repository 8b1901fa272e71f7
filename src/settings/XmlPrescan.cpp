#include "XmlPrescan.h"

namespace tervane {

namespace {

// The position just after the first `close` at or after `from`; the text's end when none.
std::size_t After(std::string_view text, std::size_t from, std::string_view close)
{
    const std::size_t at = text.find(close, from);
    return at == std::string_view::npos ? text.size() : at + close.size();
}

} // namespace

bool HasAttributeHeavyElement(std::string_view text, std::size_t limit)
{
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = text.substr(at);
        if (rest.starts_with("<!--")) {
            at = After(text, at + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            at = After(text, at + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            at = After(text, at + 2, "?>");
        } else if (rest.starts_with("</") || rest.starts_with("<!")) {
            at = After(text, at + 2, ">");
        } else {
            // A start tag: count its attributes up to the ">" that ends it.
            std::size_t attributes = 0;
            ++at;
            while (at < text.size() && text[at] != '>') {
                const char c = text[at];
                if (c == '"' || c == '\'') {
                    at = After(text, at + 1, std::string_view(&c, 1));
                    continue;
                }
                if (c == '<')
                    break; // malformed; the parser says so
                if (c == '=' && ++attributes > limit)
                    return true;
                ++at;
            }
        }
    }
    return false;
}

} // namespace tervane
