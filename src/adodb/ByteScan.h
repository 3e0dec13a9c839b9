#pragma once

#include <cstdint>
#include <cstring>

// Tests on eight bytes at once, for scans of text where the byte sought is rare: a word
// that passes is skipped whole, and only a word that does not is looked at byte by byte.
namespace adodb::detail {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

inline std::uint64_t LoadWord(const char* bytes) noexcept {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Whether a byte of the word is below `limit` (at most 128).
constexpr bool AnyByteBelow(std::uint64_t word, unsigned char limit) noexcept {
    return ((word - kOnes * limit) & ~word & kHighBits) != 0;
}

// Whether a byte of the word is `byte`.
constexpr bool AnyByteIs(std::uint64_t word, unsigned char byte) noexcept {
    return AnyByteBelow(word ^ (kOnes * byte), 1);
}

// Whether a byte of the word is outside ASCII.
constexpr bool AnyHighByte(std::uint64_t word) noexcept {
    return (word & kHighBits) != 0;
}

}  // namespace adodb::detail
