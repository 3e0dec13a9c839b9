#include "engine/rows/CopyText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "adodb/ByteScan.h"

namespace korvanta {
namespace {

// COPY's text form escapes a backslash, a tab, a line feed and a carriage return; every
// other byte goes as it is.
constexpr char EscapeOf(char c) {
    switch (c) {
        case '\\':
            return '\\';
        case '\t':
            return 't';
        case '\n':
            return 'n';
        case '\r':
            return 'r';
        default:
            return '\0';
    }
}

constexpr std::array<char, 256> kEscapes = [] {
    std::array<char, 256> escapes{};
    for (int c = 0; c < 256; ++c)
        escapes[c] = EscapeOf(static_cast<char>(c));
    return escapes;
}();

// Values seldom hold a byte to escape: they are looked for a word at a time.
template <typename Word>
bool AnyEscape(Word word) {
    using namespace adodb::detail;
    return AnyByteBelow(word, ' ') || AnyByteIs(word, '\\');
}

template <typename Word>
Word Load(const char* bytes) {
    Word word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

template <typename Word>
void Store(char* at, Word word) {
    std::memcpy(at, &word, sizeof word);
}

char* Put(char* out, char c) {
    const char escape = kEscapes[static_cast<unsigned char>(c)];
    if (escape == '\0') {
        *out = c;
        return out + 1;
    }
    out[0] = '\\';
    out[1] = escape;
    return out + 2;
}

}  // namespace

char* CopyText::Grow(std::size_t bytes) {
    const std::size_t capacity = std::max(size_ + bytes, 2 * capacity_);
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0)
        std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
    return data_.get() + size_;
}

void CopyText::Add(std::string_view bytes) {
    std::memcpy(Room(bytes.size()), bytes.data(), bytes.size());
    size_ += bytes.size();
}

void CopyText::AddValue(std::optional<std::string_view> value) {
    if (value)
        AddEscaped(*value);
    else
        Add("\\N");
}

void CopyText::AddEscaped(std::string_view text) {
    const char* in = text.data();
    const std::size_t n = text.size();
    char* const start = Room(2 * n);
    char* out = start;
    if (n >= 4 && n < 8) {
        // Two words of four that overlap cover the value.
        const auto first = Load<std::uint32_t>(in);
        const auto last = Load<std::uint32_t>(in + n - 4);
        if (!AnyEscape(first) && !AnyEscape(last)) {
            Store(out, first);
            Store(out + n - 4, last);
            size_ += n;
            return;
        }
    }
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const auto word = Load<std::uint64_t>(in + i);
        if (!AnyEscape(word)) {
            Store(out, word);
            out += 8;
            continue;
        }
        for (std::size_t k = i; k < i + 8; ++k)
            out = Put(out, in[k]);
    }
    if (i < n && i >= 8 && static_cast<std::size_t>(out - start) == i) {
        // Nothing escaped so far: the last eight bytes, read as a word, end the value.
        const auto word = Load<std::uint64_t>(in + n - 8);
        if (!AnyEscape(word)) {
            Store(start + n - 8, word);
            size_ += n;
            return;
        }
    }
    for (; i < n; ++i)
        out = Put(out, in[i]);
    size_ += static_cast<std::size_t>(out - start);
}

void CopyText::Trim(std::size_t bytes) noexcept {
    size_ = 0;
    if (capacity_ > bytes) {
        data_.reset();
        capacity_ = 0;
    }
}

}  // namespace korvanta
