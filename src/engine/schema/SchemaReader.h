#pragma once

#include <optional>
#include <string>
#include <vector>

#include "adodb/Connection.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/Schema.h"
#include "sql/model/SourceField.h"

namespace korvanta {

// Reads a source table's schema from its database's own catalog, over the connection the
// send already has, by the reader of the source's dialect: PostgreSQL's pg_catalog,
// SQLite's pragmas, SQL Anywhere's system views. Any other data source is read through the
// ODBC catalog functions, or, when its driver has none, from what it says of the columns
// of SELECT * (`fields`), with a note that nothing else was read. Raises the driver's error
// when the catalog cannot be read.
TableSchema ReadTableSchema(adodb::Connection& source, const Dialect& dialect,
                            const std::string& table, const std::vector<SourceField>& fields);

// One reader per database, each named like its dialect.
namespace schema {

// The rows of a catalog query, every value as text (nullopt for Null).
using Row = std::vector<std::optional<std::string>>;
std::vector<Row> Rows(adodb::Connection& connection, const std::string& sql);
// A value of a row, "" for Null.
std::string Text(const Row& row, std::size_t column);

TableSchema PostgreSQLSchema(adodb::Connection& source, const std::string& table);
TableSchema SqliteSchema(adodb::Connection& source, const std::string& table);
TableSchema SqlAnywhereSchema(adodb::Connection& source, const std::string& table);
// Through the ODBC catalog functions, for any other data source.
TableSchema OdbcSchema(adodb::Connection& source, const std::string& table);

}  // namespace schema

}  // namespace korvanta
