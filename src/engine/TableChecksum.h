#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvanta {

// An order-independent fingerprint of a table's values, per column: the sum of a 64-bit
// hash of each value (Null apart from the empty text), and the row count. Two tables with
// the same rows in any order give the same fingerprint; a changed, lost or added value
// changes it.
class TableChecksum {
  public:
    explicit TableChecksum(std::size_t columns = 0) : sums_(columns, 0) {}

    void AddValue(std::size_t column, std::optional<std::string_view> value);
    void EndRow() { ++rows_; }

    long long Rows() const noexcept { return rows_; }

    // Empty when equal; else what differs, e.g. "rows 10 and 9" or "column 2 (label)".
    std::string Difference(const TableChecksum& other,
                           const std::vector<std::string>& columnNames) const;

  private:
    std::vector<std::uint64_t> sums_;
    long long rows_ = 0;
};

}  // namespace korvanta
