#include "RciRequests.h"

namespace tervane {

std::optional<std::string> FillRciRequest(std::string_view request, std::string_view fileName)
{
    const std::size_t slot = request.find("%s");
    if (slot == std::string_view::npos)
        return std::nullopt;
    std::string quoted;
    quoted.reserve(fileName.size());
    for (const char c : fileName) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return std::nullopt;
        switch (c) {
        case '&': quoted += "&amp;"; break;
        case '<': quoted += "&lt;"; break;
        case '>': quoted += "&gt;"; break;
        case '\'': quoted += "&apos;"; break;
        case '"': quoted += "&quot;"; break;
        default: quoted += c; break;
        }
    }
    std::string filled;
    filled.reserve(request.size() + quoted.size());
    filled.append(request.substr(0, slot));
    filled += quoted;
    filled.append(request.substr(slot + 2));
    return filled;
}

} // namespace tervane
