#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sql/dialect/Dialect.h"
#include "sql/model/Schema.h"
#include "sql/model/Side.h"
#include "sql/model/SourceField.h"
#include "sql/model/ValueCheck.h"

namespace korvanta {

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

// What a send does with one table, in either mode: its CREATE TABLE, how its values
// travel, and what is built after its rows and after every table of the run.
struct TablePlan {
    // What must stand before the table is made (a collation it names); where one of them
    // cannot be made, the table is made by `createTableFallback`, without `withoutCollations`.
    std::vector<SchemaStep> beforeTable;
    std::string createTable;
    std::string createTableFallback;
    std::vector<std::string> collated;           // the items of `carried` that need them
    std::vector<std::string> withoutCollations;  // what is not carried without them
    std::vector<bool> bare;                      // per column: its values stand bare in an INSERT
    std::vector<ValueRule> rules;         // per column, what the target column keeps of a value
    std::vector<bool> binary;             // per column: the values' hex digits go as bytes
    std::vector<SchemaStep> afterRows;    // NOT NULL, keys, unique constraints, indexes
    std::vector<SchemaStep> sequences;    // identity numbering to go on after the rows
    std::vector<SchemaStep> foreignKeys;  // once every table of the run is in
    std::vector<std::string> carried;     // for the summary
    std::vector<std::string> notCarried;  // and why
};

// The table as the send buttons have always made it: each column one of a few types,
// chosen from its ADO type (Datatype.h); nothing else carried.
TablePlan PlanSimpleTable(Side target, std::string_view name,
                          const std::vector<SourceField>& fields);

// An exact copy of `source` as table `target` in the target's dialect. `onTarget`: whether
// a table of that name stands on the target when the table is created (a foreign key
// taken only with the table must be written then or never).
TablePlan PlanExactTable(const TableSchema& source, std::string_view target, const Dialect& dialect,
                         const std::function<bool(std::string_view table)>& onTarget);

// The table's column that an expression's name refers to: its own spelling, else the one
// equal to it without regard to case; nullptr for none.
const ColumnSchema* ColumnNamed(const TableSchema& table, std::string_view name);
// An expression of the table's source in the dialect's SQL, its column names as the table
// has them; a condition (CHECK, WHERE) when `condition`. Empty, with `why`, where it cannot
// be written.
std::string ExpressionIn(const Dialect& dialect, const TableSchema& table,
                         const SourceExpression& expression, bool condition, std::string& why);

}  // namespace korvanta
