#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "adodb/Connection.h"
#include "adodb/Recordset.h"
#include "sql/model/Side.h"
#include "sql/dialect/SourceQuery.h"

namespace korvanta {

// The rows of one table, read so that every value arrives as the database holds it: from
// PostgreSQL the table's own rows (not those of tables that inherit from it) with psqlODBC's
// rewrites undone; from the SQLite stand-in doubles with all their digits; from any other
// ODBC data source floating-point values as numbers. A send reads its source so, and a
// verification reads the target back the same way.
class TableRows {
  public:
    // Opens SELECT * over the table's rows on `connection`, of the `side` database whose
    // product is `dbmsName`. Raises the driver's error when they cannot be read.
    void Open(adodb::Connection& connection, Side side, std::string_view dbmsName,
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
            return SqliteExactValue(text, scratch);
        return text;
    }

  private:
    adodb::Recordset records_;
    std::vector<SourceField> fields_;
    std::string from_;  // what the statements read: the quoted name, after ONLY when needed
    std::string statement_;
    std::vector<bool> marked_;  // the SQLite stand-in's columns read with their marks
};

}  // namespace korvanta
