#pragma once

#include <string_view>

#include "sql/model/Schema.h"

namespace korvanta {

// Column types and defaults as each database's catalog writes them, read into the neutral
// model of Schema.h. Pure: nothing is asked of a database.

// PostgreSQL's format_type text: "integer", "numeric(12,2)", "character varying(30)",
// "timestamp(3) with time zone", "integer[]"...
ColumnType PostgreSQLType(std::string_view formatted);
// A SQLite declaration: "VARCHAR(30)", "NUMERIC(12,2)", "INTEGER", "" (none), and the
// declarations an exact copy writes to keep every value ("NUMERIC TEXT(12,2)").
ColumnType SqliteType(std::string_view declared);
// SQL Anywhere's domain name (SYS.SYSDOMAIN) with the column's width and scale.
ColumnType SqlAnywhereType(std::string_view domain, int width, int scale);

// PostgreSQL's default expression (pg_get_expr): "'n/a'::text", "0", "now()", ...;
// `identity` is set for a sequence's nextval (serial).
ColumnDefault PostgreSQLDefault(std::string_view expression, bool& identity);
// SQLite's default (pragma table_xinfo, quotes kept): "'n/a'", "0", "CURRENT_TIMESTAMP".
ColumnDefault SqliteDefault(std::string_view text);
// SQL Anywhere's default (SYS.SYSTABCOL): "'n/a'", "current timestamp", "autoincrement";
// `identity` is set for AUTOINCREMENT.
ColumnDefault SqlAnywhereDefault(std::string_view text, bool& identity);

}  // namespace korvanta
