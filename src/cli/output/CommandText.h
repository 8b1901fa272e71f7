#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tervane {

// Turns a command typed on the command line into the bytes to send: "\r", "\n", "\t",
// "\\", "\"" and "\xHH" stand for their bytes. None when an escape is malformed.
std::optional<std::string> UnescapeCommand(std::string_view typed);

// The other way round, for showing bytes on a terminal: control bytes and backslashes escaped.
std::string EscapeForDisplay(std::string_view bytes);
// The same for an answer of several lines: each line end ("\r\n" or "\n") stays a line
// end, everything else is escaped.
std::string EscapeLinesForDisplay(std::string_view bytes);

// The longest identity text (IMEI, ICCID, IMSI, product, firmware...) kept, in bytes.
inline constexpr std::size_t kIdentityTextBytes = 64;
// An identity field as the device gave it: the answer's first line, at most
// kIdentityTextBytes bytes (never cutting a UTF-8 sequence), then "…" when the line went on.
std::string IdentityText(std::string_view answer);

} // namespace tervane
