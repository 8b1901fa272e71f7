#include "CleanResponse.h"

#include <algorithm>

namespace tervane {

namespace {

bool EndsWith(std::string_view text, std::string_view end)
{
    return text.ends_with(end);
}

// Removes each span from an opening tag through the first closing tag after it, as if
// the first such span were removed again and again: an opening tag that forms where two
// pieces meet counts too. One pass over the text.
std::string RemoveSpans(std::string_view text, std::string_view open, std::string_view close)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    bool joined = false;
    while (i < text.size()) {
        std::size_t openAt = std::string::npos;
        // Right after a removal, the end of what is kept and the text that follows may
        // together form an opening tag; it would come before any other.
        if (joined) {
            joined = false;
            const std::string_view rest = text.substr(i);
            for (std::size_t k = std::min(open.size() - 1, out.size()); k > 0; --k) {
                if (EndsWith(out, open.substr(0, k)) && rest.starts_with(open.substr(k))) {
                    openAt = out.size() - k;
                    out.append(open.substr(k));
                    i += open.size() - k;
                    break;
                }
            }
        }
        if (openAt == std::string::npos) {
            const std::size_t found = text.find(open, i);
            if (found == std::string_view::npos)
                break;
            openAt = out.size() + (found - i);
            out.append(text.substr(i, found + open.size() - i));
            i = found + open.size();
        }
        const std::size_t closing = text.find(close, i);
        if (closing == std::string_view::npos)
            break;
        out.resize(openAt);
        i = closing + close.size();
        joined = true;
    }
    if (i < text.size())
        out.append(text.substr(i));
    return out;
}

bool IsTrimmed(char c)
{
    return c == ' ' || c == '\r' || c == '\n';
}

} // namespace

bool CleanResponse(std::string_view command, std::string_view raw, std::string& cleaned)
{
    bool result = true;
    std::string work = RemoveSpans(raw, "<pyPrint>", "</pyPrint>");
    work = RemoveSpans(work, "<usb>", "</usb>");

    static constexpr char kAckEnding[] = {'\r', '\n', 6, '\r', '\n'};
    if (EndsWith(work, "OK\r\n"))
        work.resize(work.size() - 4);
    else if (EndsWith(work, "SLEEP"))
        work.resize(work.size() - 5);
    else if (EndsWith(work, "ERROR\r\n")) {
        work.resize(work.size() - 7);
        result = false;
    } else if (EndsWith(work, std::string_view(kAckEnding, sizeof kAckEnding)))
        work.resize(work.size() - 5);

    std::string_view view(work);
    if (!command.empty() && view.substr(0, command.size()) == command)
        view.remove_prefix(command.size());
    while (!view.empty() && IsTrimmed(view.front()))
        view.remove_prefix(1);
    while (!view.empty() && IsTrimmed(view.back()))
        view.remove_suffix(1);
    cleaned.assign(view);
    return result;
}

} // namespace tervane
