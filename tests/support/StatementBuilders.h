#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Variant.h"
#include "sql/dialect/OdbcDialect.h"
#include "sql/statements/Datatype.h"
#include "sql/statements/RowStatement.h"

// Whole statements from the builders the engine feeds piece by piece, so that a test can
// compare a statement's text in one expression.
namespace testdb {

// The INSERT statement of one row with the given values, in field order, its strings as the
// dialect writes them (standard SQL's by default).
inline std::string InsertStatement(
    korvanta::Side target, std::string_view tableName, const std::vector<bool>& numericColumns,
    std::span<const adodb::Variant> values,
    std::shared_ptr<const korvanta::Dialect> dialect = std::make_shared<korvanta::OdbcDialect>()) {
    const korvanta::RowStatement row(target, tableName, numericColumns, std::move(dialect));
    std::string buffer;
    row.Begin(buffer);
    for (std::size_t j = 0; j < values.size(); ++j)
        row.AddValue(buffer, j, values[j]);
    row.End(buffer);
    return buffer;
}

struct SourceColumn {
    std::string_view name;
    int typeCode;
};

struct CreateTable {
    std::string statement;
    std::string numericColumnList;
    std::vector<bool> numericColumns;
};

// The whole CREATE TABLE statement of a table with the given columns.
inline CreateTable BuildCreateTable(korvanta::Side target, std::string_view tableName,
                                    std::span<const SourceColumn> columns) {
    korvanta::CreateTableBuilder builder(target, tableName);
    for (const SourceColumn& column : columns)
        builder.AddColumn(column.name, column.typeCode);
    // The numeric column list as text: each numeric field's index followed by ",".
    std::string list;
    for (std::size_t j = 0; j < builder.NumericColumns().size(); ++j) {
        if (builder.NumericColumns()[j])
            list += std::to_string(j) + ",";
    }
    return {builder.Statement(), list, builder.NumericColumns()};
}

}  // namespace testdb
