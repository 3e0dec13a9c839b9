#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sql/model/Schema.h"
#include "sql/model/Side.h"
#include "sql/dialect/StringLiterals.h"
#include "sql/model/ValueCheck.h"

namespace korvanta {

// The database a copy writes to, for the statements of an exact copy: PostgreSQL, SQL
// Anywhere, or the SQLite file that stands in for it.
enum class Dialect { kPostgreSQL, kSqlAnywhere, kSqlite };
// The ODBC side's dialect from the DBMS name its driver gives; SQL Anywhere's unless it is
// SQLite.
Dialect TargetDialect(Side target, std::string_view dbmsName);

// One statement that builds a part of the table, with what it carries for the reports.
struct SchemaStep {
    std::string statement;
    std::string what;        // "primary key (id)", "index orders_code (code)"
    std::string breakQuery;  // counts the rows that break it, when it fails; may be empty
    std::string table;       // a foreign key's table referred to
    // The same without the source's name for the index or constraint, tried when the
    // statement fails: the name may be taken on the target (another copy of the table).
    std::string unnamed;
};

// What an exact copy does with one table: its CREATE TABLE, how its values travel, and
// what is built after its rows and after every table of the run.
struct TablePlan {
    std::string createTable;
    std::vector<ValueRule> rules;         // per column, what the target column keeps of a value
    std::vector<bool> binary;             // per column: the values' hex digits go as bytes
    std::vector<SchemaStep> afterRows;    // NOT NULL, keys, unique constraints, indexes
    std::vector<SchemaStep> sequences;    // identity numbering to go on after the rows
    std::vector<SchemaStep> foreignKeys;  // once every table of the run is in
    std::vector<std::string> carried;     // for the summary
    std::vector<std::string> notCarried;  // and why
};

// The plan of an exact copy of `source` as table `target`. `literals`: how the target
// reads string literals. `onTarget`: whether a table of that name stands on the target
// when the table is created (a SQLite foreign key must be written then or never).
TablePlan PlanExactTable(const TableSchema& source, std::string_view target, Dialect dialect,
                         StringLiterals literals,
                         const std::function<bool(std::string_view table)>& onTarget);

// The target type of one column, and why it is not exact when it is not ("" when it is).
std::string TargetType(const ColumnType& type, Dialect dialect, std::string& notExact);

}  // namespace korvanta
