#include "engine/rows/TableChecksum.h"

#include <algorithm>

namespace korvanta {

namespace {

// FNV-1a, then a final mix so that sums of similar texts spread over all bits.
std::uint64_t Hash(std::string_view text, std::uint64_t seed) {
    std::uint64_t hash = 1469598103934665603ull ^ seed;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    return hash;
}

}  // namespace

void TableChecksum::AddValue(std::size_t column, std::optional<std::string_view> value) {
    if (column >= sums_.size())
        sums_.resize(column + 1, 0);
    // Null and the empty text hash apart: the seed tells them from each other.
    std::uint64_t hash = 0;
    if (!value)
        hash = Hash({}, 0x9e3779b97f4a7c15ull);
    else if (column < rules_.size() && rules_[column].kind != ValueKind::kText)
        hash = Hash(ComparableValue(*value, rules_[column]), 0x5bd1e995u);
    else
        hash = Hash(*value, 0x5bd1e995u);
    sums_[column] += hash;
    // The row's: each value in its place, so that two rows with values swapped differ.
    row_ = (row_ ^ (hash + column)) * 0x9e3779b97f4a7c15ull;
}

std::string TableChecksum::Difference(const TableChecksum& other,
                                      const std::vector<std::string>& columnNames) const {
    if (rows_ != other.rows_)
        return "rows " + std::to_string(rows_) + " and " + std::to_string(other.rows_);
    std::string differing;
    const std::size_t columns = std::max(sums_.size(), other.sums_.size());
    for (std::size_t j = 0; j < columns; ++j) {
        const std::uint64_t a = j < sums_.size() ? sums_[j] : 0;
        const std::uint64_t b = j < other.sums_.size() ? other.sums_[j] : 0;
        if (a == b)
            continue;
        if (!differing.empty())
            differing += ", ";
        differing += "column " + std::to_string(j + 1);
        if (j < columnNames.size())
            differing += " (" + columnNames[j] + ")";
    }
    return differing;
}

}  // namespace korvanta
