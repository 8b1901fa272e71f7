#include "Md5.h"

#include <openssl/evp.h>

namespace tervane {

struct Md5::State {
    EVP_MD_CTX* context = nullptr;
    bool ok = false;
};

Md5::Md5()
    : m_state(std::make_unique<State>())
{
    m_state->context = EVP_MD_CTX_new();
    m_state->ok = m_state->context && EVP_DigestInit_ex(m_state->context, EVP_md5(), nullptr) == 1;
}

Md5::~Md5()
{
    EVP_MD_CTX_free(m_state->context);
}

bool Md5::Update(const unsigned char* bytes, std::size_t size)
{
    m_state->ok = m_state->ok && EVP_DigestUpdate(m_state->context, bytes, size) == 1;
    return m_state->ok;
}

bool Md5::Final(std::array<unsigned char, 16>& digest)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    m_state->ok = m_state->ok && EVP_DigestFinal_ex(m_state->context, out, &length) == 1 && length == digest.size();
    if (m_state->ok)
        std::copy(out, out + digest.size(), digest.begin());
    return m_state->ok;
}

} // namespace tervane
