#pragma once

#include <array>
#include <cstddef>
#include <memory>

namespace tervane {

// An MD5 digest fed in pieces: libcrypto's on Linux, Windows CNG's on Windows (one source
// file per system implements it).
class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    // False once the system's digest failed; every later call then fails too.
    bool Update(const unsigned char* bytes, std::size_t size);
    // The digest of everything fed so far; false when the digest failed. Call once.
    bool Final(std::array<unsigned char, 16>& digest);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace tervane
