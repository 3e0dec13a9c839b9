#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Variant.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/Side.h"

namespace korvanta {

// True for an optionally signed decimal number with an optional fraction and exponent
// ("-12", "12.5", ".5", "1e-3"): text that may stand bare in a statement.
bool LooksLikeNumber(std::string_view text) noexcept;

// Writes the INSERT statement of one row into a buffer that is reused for every row, so
// that a large copy allocates nothing per row or per value:
//   INSERT INTO "{table}" VALUES(v1, v2, ...)
// Null is written NULL; any other value as the target dialect writes a string (apostrophes
// doubled, backslashes as it reads them), the empty text as ''. Towards
// PostgreSQL a value of a numeric column that looks like a number is written bare. Value
// texts are the data-access layer's own, which do not depend on the locale ("." decimals,
// binary as hexadecimal digits).
class RowStatement {
  public:
    // numericColumns: per field, whether it is in the numeric column list (only ever
    // true towards PostgreSQL).
    // columns: the target columns the values go to, in their order; empty: all of the
    // table's, in its own order.
    RowStatement(Side target, std::string_view tableName, std::vector<bool> numericColumns,
                 std::shared_ptr<const Dialect> dialect,
                 const std::vector<std::string>& columns = {});

    // The columns whose values (hex digits, two per byte) are written as the bytes they
    // spell, in the target's binary literal; the others' are text.
    void SetBinaryColumns(std::vector<bool> binary) { binary_ = std::move(binary); }

    void Begin(std::string& buffer) const;
    void AddValue(std::string& buffer, std::size_t field, const adodb::Variant& value) const;
    void End(std::string& buffer) const;
    // The value alone, as AddValue writes it (in another statement: an UPDATE, a WHERE).
    void AppendLiteral(std::string& buffer, std::size_t field, const adodb::Variant& value) const;

  private:
    std::string prefix_;
    std::vector<bool> bare_;
    std::shared_ptr<const Dialect> dialect_;
    std::vector<bool> binary_;
};

}  // namespace korvanta
