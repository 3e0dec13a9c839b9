#include "adodb/RowFormat.h"

#include <cstdint>

namespace adodb::detail {

void RowEncoder::Add(std::string_view value) {
    std::uint64_t prefix = static_cast<std::uint64_t>(value.size()) + 1;
    while (prefix >= 0x80) {
        bytes_ += static_cast<char>((prefix & 0x7F) | 0x80);
        prefix >>= 7;
    }
    bytes_ += static_cast<char>(prefix);
    bytes_ += value;
}

void DecodeRow(const char* row, std::vector<Variant>& values) {
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
}

}  // namespace adodb::detail
