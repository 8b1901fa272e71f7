#include "CleanResponse.h"

#include <algorithm>
#include <cstring>

namespace tervane {

namespace {

// Removes each span from an opening tag through the first closing tag after it, as if
// the first such span were removed again and again: an opening tag that forms where two
// pieces meet counts too. One pass over the text, in place: what is kept is copied down
// over what was read, so the write position never passes the read position.
void RemoveSpans(std::string& text, std::string_view open, std::string_view close)
{
    char* const data = text.data();
    const std::size_t size = text.size();
    const std::string_view all(data, size);
    std::size_t i = 0; // read position
    std::size_t w = 0; // end of what is kept
    const auto keep = [&](std::size_t from, std::size_t count) {
        if (from != w && count > 0)
            std::memmove(data + w, data + from, count);
        w += count;
    };
    bool joined = false;
    while (i < size) {
        std::size_t openAt = std::string::npos;
        // Right after a removal, the end of what is kept and the text that follows may
        // together form an opening tag; it would come before any other.
        if (joined) {
            joined = false;
            const std::string_view kept(data, w);
            const std::string_view rest = all.substr(i);
            for (std::size_t k = std::min(open.size() - 1, w); k > 0; --k) {
                if (kept.ends_with(open.substr(0, k)) && rest.starts_with(open.substr(k))) {
                    openAt = w - k;
                    keep(i, open.size() - k);
                    i += open.size() - k;
                    break;
                }
            }
        }
        if (openAt == std::string::npos) {
            const std::size_t found = all.find(open, i);
            if (found == std::string_view::npos)
                break;
            openAt = w + (found - i);
            keep(i, found + open.size() - i);
            i = found + open.size();
        }
        const std::size_t closing = all.find(close, i);
        if (closing == std::string_view::npos)
            break;
        w = openAt;
        i = closing + close.size();
        joined = true;
    }
    keep(i, size - i);
    text.resize(w);
}

bool IsTrimmed(char c)
{
    return c == ' ' || c == '\r' || c == '\n';
}

} // namespace

bool CleanResponse(std::string_view command, std::string& text)
{
    bool result = true;
    RemoveSpans(text, "<pyPrint>", "</pyPrint>");
    RemoveSpans(text, "<usb>", "</usb>");

    static constexpr char kAckEnding[] = {'\r', '\n', 6, '\r', '\n'};
    std::string_view view(text);
    if (view.ends_with("OK\r\n"))
        view.remove_suffix(4);
    else if (view.ends_with("SLEEP"))
        view.remove_suffix(5);
    else if (view.ends_with("ERROR\r\n")) {
        view.remove_suffix(7);
        result = false;
    } else if (view.ends_with(std::string_view(kAckEnding, sizeof kAckEnding)))
        view.remove_suffix(5);

    if (!command.empty() && view.starts_with(command))
        view.remove_prefix(command.size());
    while (!view.empty() && IsTrimmed(view.front()))
        view.remove_prefix(1);
    while (!view.empty() && IsTrimmed(view.back()))
        view.remove_suffix(1);
    const std::size_t begin = static_cast<std::size_t>(view.data() - text.data());
    const std::size_t length = view.size();
    if (begin > 0)
        std::memmove(text.data(), text.data() + begin, length);
    text.resize(length);
    return result;
}

bool CleanResponse(std::string_view command, std::string_view raw, std::string& cleaned)
{
    // The output's storage is kept from call to call: no allocation once it is large enough.
    cleaned.assign(raw);
    return CleanResponse(command, cleaned);
}

} // namespace tervane
