#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvanta {

// A column of the source table, as SELECT * describes it.
struct SourceField {
    std::string name;
    int type;                    // ADO type code
    std::string nativeTypeName;  // the source's own name of the type
};

// A query over the same rows as SELECT * FROM `from` (a PostgreSQL table, "ONLY" and its
// quoted name when it has inheriting tables), with the columns whose values psqlODBC would
// rewrite read as the server writes them: dates, times, timestamps and GUIDs as text,
// money as its number. Empty when no column needs it.
std::string ServerTextQuery(const std::string& from, const std::vector<SourceField>& fields);

// SQLite holds a floating-point value as a double, but its ODBC driver gives it only as
// SQLite's text of 15 significant digits, which for some doubles (1/7) is another double;
// its binary form is that same text read back. So a column that can hold such values is
// read as SQLite's text where that text reads back as the same double, and otherwise as
// the exact text of quote() behind a mark (a character 1); a text value that itself
// starts with the mark gets a second one. `marked` tells which columns are read so
// (empty: none, and the query is empty).
std::string SqliteExactQuery(const std::string& quotedTable, const std::vector<SourceField>& fields,
                             std::vector<bool>& marked);
// The value of a marked column as SQLite holds it: a double's shortest exact text, or the
// text without its extra mark. `scratch` may hold the result.
std::string_view SqliteExactValue(std::string_view text, std::string& scratch);

}  // namespace korvanta
