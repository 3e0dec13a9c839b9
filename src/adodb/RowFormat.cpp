#include "adodb/RowFormat.h"

#include <cstdint>

namespace adodb::detail {
namespace {

// Room for the length of any value: the decoder also reads a length padded with
// continuation bytes, so a long value keeps this form and is never moved.
constexpr std::size_t kLengthRoom = 10;
// Values up to this size are moved down behind a length of the usual size.
constexpr std::size_t kCompactUpTo = std::size_t{64} << 10;

std::size_t LengthBytes(std::uint64_t prefix) {
    std::size_t n = 1;
    while (prefix >= 0x80) {
        prefix >>= 7;
        ++n;
    }
    return n;
}

// Writes prefix in exactly n bytes (n at least LengthBytes(prefix)).
void PutLength(char* at, std::uint64_t prefix, std::size_t n) {
    for (std::size_t i = 0; i + 1 < n; ++i) {
        at[i] = static_cast<char>((prefix & 0x7F) | 0x80);
        prefix >>= 7;
    }
    at[n - 1] = static_cast<char>(prefix);
}

}  // namespace

void RowEncoder::Clear() noexcept {
    if (bytes_.capacity() > kKeptCapacity)
        std::string().swap(bytes_);
    else
        bytes_.clear();
}

std::size_t RowEncoder::BeginValue() {
    const std::size_t begin = bytes_.size();
    bytes_.append(kLengthRoom, '\0');
    return begin;
}

void RowEncoder::EndValue(std::size_t begin) {
    const std::size_t size = bytes_.size() - begin - kLengthRoom;
    const std::uint64_t prefix = static_cast<std::uint64_t>(size) + 1;
    if (size > kCompactUpTo) {
        PutLength(bytes_.data() + begin, prefix, kLengthRoom);
        return;
    }
    const std::size_t n = LengthBytes(prefix);
    PutLength(bytes_.data() + begin, prefix, n);
    bytes_.erase(begin + n, kLengthRoom - n);
}

void RowEncoder::Add(std::string_view value) {
    std::uint64_t prefix = static_cast<std::uint64_t>(value.size()) + 1;
    while (prefix >= 0x80) {
        bytes_ += static_cast<char>((prefix & 0x7F) | 0x80);
        prefix >>= 7;
    }
    bytes_ += static_cast<char>(prefix);
    bytes_ += value;
}

const char* DecodeRow(const char* row, std::vector<Variant>& values) {
    for (Variant& value : values) {
        std::uint64_t prefix = 0;
        int shift = 0;
        unsigned char byte;
        do {
            byte = static_cast<unsigned char>(*row++);
            prefix |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
            shift += 7;
        } while (byte & 0x80);
        if (prefix == 0) {
            value = Variant();
        } else {
            const std::size_t size = static_cast<std::size_t>(prefix - 1);
            value = Variant(std::string_view(row, size));
            row += size;
        }
    }
    return row;
}

}  // namespace adodb::detail
