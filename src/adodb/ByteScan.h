#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

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

// Whether a byte of the word is below `limit` (at most 128). A word is 8 bytes, or 4.
template <typename Word>
constexpr bool AnyByteBelow(Word word, unsigned char limit) noexcept {
    constexpr Word ones = static_cast<Word>(kOnes);
    constexpr Word high = static_cast<Word>(kHighBits);
    return ((word - static_cast<Word>(ones * limit)) & ~word & high) != 0;
}

// Whether a byte of the word is `byte`.
template <typename Word>
constexpr bool AnyByteIs(Word word, unsigned char byte) noexcept {
    return AnyByteBelow<Word>(word ^ static_cast<Word>(static_cast<Word>(kOnes) * byte), 1);
}

// Whether a byte of the word is outside ASCII.
constexpr bool AnyHighByte(std::uint64_t word) noexcept {
    return (word & kHighBits) != 0;
}

// Whether the word holds a NUL or a byte outside ASCII.
template <typename Word>
constexpr bool AnyNulOrHighByte(Word word) noexcept {
    constexpr Word ones = static_cast<Word>(kOnes);
    constexpr Word high = static_cast<Word>(kHighBits);
    return ((word | ((word - ones) & ~word)) & high) != 0;
}

// Whether the text is ASCII and holds no NUL, as most values are. Words are read whole,
// the last one overlapping the one before, so that a short value costs one or two tests.
inline bool AsciiWithoutNul(std::string_view text) noexcept {
    const char* bytes = text.data();
    const std::size_t size = text.size();
    if (size >= 8) {
        for (std::size_t i = 0; i + 8 <= size; i += 8) {
            if (AnyNulOrHighByte(LoadWord(bytes + i)))
                return false;
        }
        return size % 8 == 0 || !AnyNulOrHighByte(LoadWord(bytes + size - 8));
    }
    if (size >= 4) {
        std::uint32_t first, last;
        std::memcpy(&first, bytes, sizeof first);
        std::memcpy(&last, bytes + size - 4, sizeof last);
        return !AnyNulOrHighByte(first) && !AnyNulOrHighByte(last);
    }
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == 0 || byte >= 0x80)
            return false;
    }
    return true;
}

// Whether the text holds the byte `a` or the byte `b`, words read whole as AsciiWithoutNul
// reads them.
inline bool HoldsEither(std::string_view text, unsigned char a, unsigned char b) noexcept {
    const char* bytes = text.data();
    const std::size_t size = text.size();
    const auto either = [&](auto word) { return AnyByteIs(word, a) || AnyByteIs(word, b); };
    if (size >= 8) {
        for (std::size_t i = 0; i + 8 <= size; i += 8) {
            if (either(LoadWord(bytes + i)))
                return true;
        }
        return size % 8 != 0 && either(LoadWord(bytes + size - 8));
    }
    if (size >= 4) {
        std::uint32_t first, last;
        std::memcpy(&first, bytes, sizeof first);
        std::memcpy(&last, bytes + size - 4, sizeof last);
        return either(first) || either(last);
    }
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == a || byte == b)
            return true;
    }
    return false;
}

}  // namespace adodb::detail
