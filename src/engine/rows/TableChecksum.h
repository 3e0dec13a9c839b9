#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sql/model/ValueCheck.h"

namespace korvanta {

// An order-independent fingerprint of a table's values, per column: the sum of a 64-bit
// hash of each value (Null apart from the empty text), and the row count. Two tables with
// the same rows in any order give the same fingerprint; a changed, lost or added value
// changes it. Values are hashed as their column's type compares them (ComparableValue), so
// that "19000" and "19000.00" in a decimal column count as the same value.
class TableChecksum {
  public:
    explicit TableChecksum(std::size_t columns = 0, std::vector<ValueRule> rules = {})
        : sums_(columns, 0), rules_(std::move(rules)) {}

    void AddValue(std::size_t column, std::optional<std::string_view> value);
    // Ends a row; returns a hash of its values, column by column, to tell rows apart.
    std::uint64_t EndRow() {
        ++rows_;
        const std::uint64_t row = row_;
        row_ = 0;
        return row;
    }

    long long Rows() const noexcept { return rows_; }

    // Empty when equal; else what differs, e.g. "rows 10 and 9" or "column 2 (label)".
    std::string Difference(const TableChecksum& other,
                           const std::vector<std::string>& columnNames) const;

  private:
    std::vector<std::uint64_t> sums_;
    std::vector<ValueRule> rules_;  // per column; a column without one compares as text
    long long rows_ = 0;
    std::uint64_t row_ = 0;  // the row's hash so far
};

}  // namespace korvanta
