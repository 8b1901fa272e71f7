#include "Md5.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>

namespace tervane {

struct Md5::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = false;
};

Md5::Md5()
    : m_state(std::make_unique<State>())
{
    m_state->ok =
        BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&m_state->algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0)) &&
        BCRYPT_SUCCESS(::BCryptCreateHash(m_state->algorithm, &m_state->hash, nullptr, 0, nullptr, 0, 0));
}

Md5::~Md5()
{
    if (m_state->hash)
        ::BCryptDestroyHash(m_state->hash);
    if (m_state->algorithm)
        ::BCryptCloseAlgorithmProvider(m_state->algorithm, 0);
}

bool Md5::Update(const unsigned char* bytes, std::size_t size)
{
    while (m_state->ok && size > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 30));
        m_state->ok = BCRYPT_SUCCESS(::BCryptHashData(m_state->hash, const_cast<PUCHAR>(bytes), piece, 0));
        bytes += piece;
        size -= piece;
    }
    return m_state->ok;
}

bool Md5::Final(std::array<unsigned char, 16>& digest)
{
    m_state->ok = m_state->ok &&
        BCRYPT_SUCCESS(::BCryptFinishHash(m_state->hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
    return m_state->ok;
}

} // namespace tervane
