#pragma once

#include "SerialPort.h"

#include <optional>
#include <string>

namespace tervane {

// A serial port served over the network, named by a URL in place of a device path.
struct PortUrl {
    enum class Scheme { Socket, Rfc2217 };
    Scheme scheme = Scheme::Socket;
    std::string host;
    std::string port;
};

// The URL `name` stands for: "socket://HOST:PORT" or "rfc2217://HOST:PORT" (an IPv6 host in
// brackets); nothing for a device path or a URL that does not read as one of these.
std::optional<PortUrl> ParsePortUrl(const std::string& name);

// Whether `name` is meant as a network port (it starts with a known scheme), well formed or not.
bool IsPortUrl(const std::string& name);

// How long resolving the host and connecting to it may take, in milliseconds.
inline constexpr int kNetworkConnectMs = 5000;

// Connects to the raw TCP port `name` names, bounded by kNetworkConnectMs for the name and for
// the connection. A non-blocking socket, or -1 with the reason in `failure` when one is given.
int OpenNetworkPort(const std::string& name, OpenFailure* failure = nullptr);

} // namespace tervane
