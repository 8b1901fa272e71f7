// The names of network ports, read the same on every system (the connection itself is in
// NetworkPort.cpp, which only the POSIX build has).
#include "NetworkPort.h"

#include <string_view>

namespace tervane {

namespace {

constexpr std::string_view kSocketScheme = "socket://";
constexpr std::string_view kRfc2217Scheme = "rfc2217://";

bool StartsWith(const std::string& text, std::string_view head)
{
    return text.size() >= head.size() && std::string_view(text).substr(0, head.size()) == head;
}

} // namespace

bool IsPortUrl(const std::string& name)
{
    return StartsWith(name, kSocketScheme) || StartsWith(name, kRfc2217Scheme);
}

std::optional<PortUrl> ParsePortUrl(const std::string& name)
{
    PortUrl url;
    std::string rest;
    if (StartsWith(name, kSocketScheme)) {
        url.scheme = PortUrl::Scheme::Socket;
        rest = name.substr(kSocketScheme.size());
    } else if (StartsWith(name, kRfc2217Scheme)) {
        url.scheme = PortUrl::Scheme::Rfc2217;
        rest = name.substr(kRfc2217Scheme.size());
    } else {
        return std::nullopt;
    }
    // Nothing after the port: no path, no options.
    std::string::size_type colon;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return std::nullopt;
        url.host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.rfind(':');
        if (colon == std::string::npos || rest.find(':') != colon)
            return std::nullopt;
        url.host = rest.substr(0, colon);
    }
    url.port = rest.substr(colon + 1);
    if (url.host.empty() || url.port.empty() || url.port.size() > 5)
        return std::nullopt;
    long number = 0;
    for (const char c : url.port) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number < 1 || number > 65535)
        return std::nullopt;
    for (const char c : url.host) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u >= 0x7f || c == '/' || c == '@')
            return std::nullopt;
    }
    return url;
}

} // namespace tervane
