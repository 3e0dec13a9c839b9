#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "adodb/Variant.h"

// The compact form of one row, shared by the client-side store and the server-side
// cursor: each value is its length plus one as a base-128 varint (0 for Null) followed by
// its bytes.
namespace adodb::detail {

class RowEncoder {
  public:
    // Starts the next row. A buffer grown far beyond ordinary rows by a huge value is
    // given back, so that one such value does not stay held for the rest of the result.
    void Clear() noexcept;
    void AddNull() { bytes_ += '\0'; }
    void Add(std::string_view value);
    std::string_view Bytes() const noexcept { return bytes_; }

    // A value whose length is known only once it is read: BeginValue() leaves room for
    // the length, the caller appends the value's bytes to Buffer(), then EndValue() (or
    // DropValue(), to write nothing) with what BeginValue() returned.
    std::size_t BeginValue();
    std::string& Buffer() noexcept { return bytes_; }
    void EndValue(std::size_t begin);
    void DropValue(std::size_t begin) noexcept { bytes_.resize(begin); }

    // Hands the row's bytes over, leaving the encoder empty: views into them stay valid for
    // as long as the string that took them lives.
    std::string Release() noexcept { return std::move(bytes_); }

    // Capacity kept across rows; beyond it the buffer is freed at the next Clear().
    static constexpr std::size_t kKeptCapacity = std::size_t{1} << 20;

  private:
    std::string bytes_;
};

// Fills `values` (already sized to the column count) with views into the row at `row`;
// returns where the row ends.
const char* DecodeRow(const char* row, std::vector<Variant>& values);

}  // namespace adodb::detail
