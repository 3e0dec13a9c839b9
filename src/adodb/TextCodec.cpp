#include "adodb/TextCodec.h"

#include "adodb/ByteScan.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace adodb::detail {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[i], advancing i; malformed input gives U+FFFD and
// skips one byte so that decoding resynchronises at the next lead byte.
char32_t DecodeUtf8(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length;
    char32_t cp;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + length > text.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return cp;
}

// Writes the UTF-8 form of cp at p (U+0080 and above) and returns the end.
char* PutCodePoint(char* p, char32_t cp) {
    if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (cp >> 18));
        *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    return p;
}

}  // namespace

void Utf8ToUtf16(std::string_view utf8, std::vector<SQLWCHAR>& out) {
    // At most one code unit per byte, plus the terminator; written in place and trimmed.
    out.resize(utf8.size() + 1);
    out.resize(Utf8ToUtf16(utf8, out.data()) + 1);
}

std::size_t Utf8ToUtf16(std::string_view utf8, SQLWCHAR* out) {
    SQLWCHAR* p = out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (bytes[i] < 0x80) {
            *p++ = bytes[i++];
            continue;
        }
        char32_t cp = DecodeUtf8(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *p++ = static_cast<SQLWCHAR>(0xD800 + (cp >> 10));
            *p++ = static_cast<SQLWCHAR>(0xDC00 + (cp & 0x3FF));
        } else {
            *p++ = static_cast<SQLWCHAR>(cp);
        }
    }
    *p = 0;
    return static_cast<std::size_t>(p - out);
}

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            ++i;
            ++units;
            continue;
        }
        units += DecodeUtf8(utf8, i) >= 0x10000 ? 2 : 1;
    }
    return units;
}

std::size_t Utf8Piece(std::string_view utf8, std::size_t most) {
    if (utf8.size() <= most)
        return utf8.size();
    // A well-formed sequence has at most three continuation bytes; past those, the bytes
    // are malformed and each converts alone wherever the cut falls.
    std::size_t end = most;
    for (int back = 0;
         back < 3 && end > 1 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80; ++back) {
        --end;
    }
    return end;
}

void AppendUtf8(std::string& out, const SQLWCHAR* utf16, std::size_t count) {
    // At most three bytes per code unit (a surrogate pair gives four for two units);
    // written in place and trimmed.
    const std::size_t start = out.size();
    out.resize(start + 3 * count);
    char* p = out.data() + start;
    for (std::size_t i = 0; i < count; ++i) {
        char32_t unit = utf16[i];
        if (unit < 0x80) {
            *p++ = static_cast<char>(unit);
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            unit = kReplacement;
        }
        p = PutCodePoint(p, unit);
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

int HexDigit(char c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendHex(std::string& out, const unsigned char* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const std::size_t start = out.size();
    out.resize(start + 2 * count);
    char* p = out.data() + start;
    for (std::size_t i = 0; i < count; ++i) {
        *p++ = kDigits[bytes[i] >> 4];
        *p++ = kDigits[bytes[i] & 0x0F];
    }
}

std::size_t FirstInvalidUtf8(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size()) {
        if (i + 8 <= text.size() && !AnyHighByte(LoadWord(text.data() + i))) {
            i += 8;
            continue;
        }
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        if (DecodeUtf8(text, i) == kReplacement && i - start == 1)
            return start;
    }
    return std::string_view::npos;
}

bool IsAscii(std::string_view text) noexcept {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

namespace {

template <class T>
void AppendShortest(std::string& out, T value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-Infinity" : "Infinity";
        return;
    }
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    out.append(text, written.ptr);
}

}  // namespace

void AppendDouble(std::string& out, double value) {
    AppendShortest(out, value);
}

void AppendFloat(std::string& out, float value) {
    AppendShortest(out, value);
}

}  // namespace adodb::detail
