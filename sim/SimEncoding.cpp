#include "SimEncoding.h"

#include <openssl/evp.h>

#include <cstdio>

namespace tervane::sim {

std::string Md5Hex(std::string_view bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1)
        return {};
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

std::string Base64Encode(std::string_view bytes, std::size_t lineLength)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string plain;
    plain.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8
                           | static_cast<unsigned char>(bytes[i + 2]);
        plain += kAlphabet[v >> 18 & 63];
        plain += kAlphabet[v >> 12 & 63];
        plain += kAlphabet[v >> 6 & 63];
        plain += kAlphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2)
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        plain += kAlphabet[v >> 18 & 63];
        plain += kAlphabet[v >> 12 & 63];
        plain += rest == 2 ? kAlphabet[v >> 6 & 63] : '=';
        plain += '=';
    }
    if (lineLength == 0)
        return plain;
    std::string wrapped;
    for (std::size_t at = 0; at < plain.size(); at += lineLength) {
        if (at > 0)
            wrapped += '\n';
        wrapped += plain.substr(at, lineLength);
    }
    return wrapped;
}

} // namespace tervane::sim
