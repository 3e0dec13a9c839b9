#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Variant.h"

// The compact form of one row, shared by the client-side store and the server-side
// cursor: each value is its length plus one as a base-128 varint (0 for Null) followed by
// its bytes.
namespace adodb::detail {

class RowEncoder {
  public:
    void Clear() noexcept { bytes_.clear(); }
    void AddNull() { bytes_ += '\0'; }
    void Add(std::string_view value);
    std::string_view Bytes() const noexcept { return bytes_; }

  private:
    std::string bytes_;
};

// Fills `values` (already sized to the column count) with views into the row at `row`.
void DecodeRow(const char* row, std::vector<Variant>& values);

}  // namespace adodb::detail
