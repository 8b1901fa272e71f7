#pragma once

#include <string>
#include <string_view>

namespace tervane::sim {

// MD5 of the bytes as 32 lower-case hexadecimal characters.
std::string Md5Hex(std::string_view bytes);

// Base64 (RFC 4648 alphabet, with padding), broken into lines of lineLength characters; 0 = one line.
std::string Base64Encode(std::string_view bytes, std::size_t lineLength = 76);

} // namespace tervane::sim
