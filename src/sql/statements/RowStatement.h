#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Variant.h"
#include "sql/model/Side.h"
#include "sql/dialect/StringLiterals.h"

namespace korvanta {

// The value itself, or the fallback when the value is Null.
inline adodb::Variant ValueOrDefault(const adodb::Variant& value, const adodb::Variant& fallback) {
    return value.IsNull() ? fallback : value;
}

// True for an optionally signed decimal number with an optional fraction and exponent
// ("-12", "12.5", ".5", "1e-3"): text that may stand bare in a statement.
bool LooksLikeNumber(std::string_view text) noexcept;

// Writes the INSERT statement of one row into a buffer that is reused for every row, so
// that a large copy allocates nothing per row or per value:
//   INSERT INTO "{table}" VALUES(v1, v2, ...)
// Null is written NULL; any other value between apostrophes with each apostrophe doubled
// (and backslashes as the target's literals need them), the empty text as ''. Towards
// PostgreSQL a value of a numeric column that looks like a number is written bare. Value
// texts are the data-access layer's own, which do not depend on the locale ("." decimals,
// binary as hexadecimal digits).
class RowStatement {
  public:
    // numericColumns: per field, whether it is in the numeric column list (only ever
    // true towards PostgreSQL).
    RowStatement(Side target, std::string_view tableName, std::vector<bool> numericColumns,
                 StringLiterals literals = StringLiterals::kStandard);

    // How the values of binary columns (hex digits, two per byte) are written: as they
    // are, as text; or as the bytes they spell, in the target's own literal (PostgreSQL
    // '\x0102', SQLite X'0102', SQL Anywhere 0x0102).
    enum class BinaryForm { kText, kPostgreSQL, kSqlite, kSqlAnywhere };
    void SetBinaryColumns(std::vector<bool> binary, BinaryForm form) {
        binary_ = std::move(binary);
        binaryForm_ = form;
    }

    void Begin(std::string& buffer) const;
    void AddValue(std::string& buffer, std::size_t field, const adodb::Variant& value) const;
    void End(std::string& buffer) const;

  private:
    void AddBinary(std::string& buffer, std::string_view hex) const;

    std::string prefix_;
    std::vector<bool> bare_;
    StringLiterals literals_;
    std::vector<bool> binary_;
    BinaryForm binaryForm_ = BinaryForm::kText;
};

}  // namespace korvanta
