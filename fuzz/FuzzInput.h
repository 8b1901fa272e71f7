#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace tervane::fuzz {

// The fuzzer's bytes as text.
inline std::string_view AsText(const uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// Two texts from one input, split at the first zero byte: texts the program handles are
// zero-terminated, so neither half can hold one. Without a zero byte the first is empty.
inline std::pair<std::string_view, std::string_view> SplitAtZero(std::string_view text)
{
    const std::size_t zero = text.find('\0');
    if (zero == std::string_view::npos)
        return {{}, text};
    std::string_view second = text.substr(zero + 1);
    return {text.substr(0, zero), second.substr(0, second.find('\0'))};
}

// Aborts with a message naming the broken rule; the fuzzer saves the input.
[[noreturn]] void Violated(const char* rule);
#define FUZZ_CHECK(condition) ((condition) ? void(0) : ::tervane::fuzz::Violated(#condition))

} // namespace tervane::fuzz
