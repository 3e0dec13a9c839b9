#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Connection.h"
#include "adodb/Recordset.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/SourceField.h"

namespace korvanta {

// The rows of one table, read as its dialect says they arrive as the database holds them:
// its own rows only (a PostgreSQL table's, not those of tables that inherit from it), with
// what the driver would change undone (psqlODBC's dates, the SQLite driver's 15-digit
// doubles), floating-point values as numbers from a driver that holds them so. A send
// reads its source so, and a verification reads the target back the same way.
class TableRows {
  public:
    // Opens SELECT * over the table's rows on `connection`, a database of that dialect.
    // Raises the driver's error when they cannot be read.
    void Open(adodb::Connection& connection, std::shared_ptr<const Dialect> dialect,
              const std::string& table);

    adodb::Recordset& Records() noexcept { return records_; }
    // The columns as SELECT * describes them.
    const std::vector<SourceField>& Fields() const noexcept { return fields_; }
    // The statement reading the rows, and one counting them.
    const std::string& Statement() const noexcept { return statement_; }
    std::string CountStatement() const;
    // A value of column `column` as the database holds it; `scratch` may hold the result.
    std::string_view Value(std::size_t column, std::string_view text, std::string& scratch) const {
        if (column < marked_.size() && marked_[column])
            return dialect_->ExactValue(text, scratch);
        return text;
    }

  private:
    adodb::Recordset records_;
    std::vector<SourceField> fields_;
    std::string from_;  // what the statements read: the quoted name, after ONLY when needed
    std::string statement_;
    std::shared_ptr<const Dialect> dialect_;
    std::vector<bool> marked_;  // the columns whose values the dialect must read
};

}  // namespace korvanta
