// A PostgreSQL table's schema from pg_catalog, over the send's own connection. psqlODBC's
// catalog functions would say less and some of it wrong (an unconstrained numeric as
// (28,6), a partial index without its condition), so the catalog is asked directly.
#include <map>

#include "engine/schema/SchemaReader.h"
#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/model/SqlName.h"

namespace korvanta::schema {

namespace {

// The table's oid by its bare name on the search path, as the list names it; an escape
// string, so that the name reads the same whatever standard_conforming_strings says.
std::string Oid(const std::string& table) {
    return "to_regclass(" + PostgreSQLDialect::CatalogString(QuotedName(table)) + ")";
}

void ReadColumns(adodb::Connection& source, const std::string& oid, TableSchema& schema) {
    const std::vector<Row> rows = Rows(
        source,
        "SELECT a.attname, CASE WHEN t.typtype = 'd' THEN format_type(t.typbasetype, "
        "t.typtypmod) ELSE format_type(a.atttypid, a.atttypmod) END, (a.attnotnull OR "
        "(t.typtype = 'd' AND t.typnotnull))::int, a.attidentity::text, a.attgenerated::text, "
        "pg_get_expr(d.adbin, d.adrelid) FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_type t "
        "ON t.oid = a.atttypid LEFT JOIN pg_catalog.pg_attrdef d ON d.adrelid = a.attrelid AND "
        "d.adnum = a.attnum WHERE a.attrelid = " +
            oid + " AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum");
    for (const Row& row : rows) {
        ColumnSchema column;
        column.name = Text(row, 0);
        column.type = PostgreSQLDialect::ReadType(Text(row, 1));
        column.notNull = Text(row, 2) == "1";
        column.identity = !Text(row, 3).empty();
        column.generated = !Text(row, 4).empty();
        // A generated column's expression is its own, never a default.
        if (!column.generated && row.size() > 5 && row[5])
            column.defaultValue = PostgreSQLDialect::ReadDefault(*row[5], column.identity);
        schema.columns.push_back(column);
    }
}

void ReadIndexes(adodb::Connection& source, const std::string& oid, TableSchema& schema) {
    const std::vector<Row> rows =
        Rows(source,
             "SELECT i.relname, x.indisunique::int, x.indisprimary::int, "
             "coalesce(pg_get_expr(x.indpred, x.indrelid), ''), coalesce(c.contype::text, ''), "
             "coalesce(c.conname, ''), coalesce(a.attname, ''), (x.indoption[k.n - 1] & 1)::int "
             "FROM pg_catalog.pg_index x JOIN pg_catalog.pg_class i ON i.oid = x.indexrelid "
             "LEFT JOIN pg_catalog.pg_constraint c ON c.conindid = x.indexrelid AND c.conrelid = "
             "x.indrelid AND c.contype IN ('p', 'u') CROSS JOIN LATERAL unnest(x.indkey::int2[]) "
             "WITH ORDINALITY AS k(attnum, n) LEFT JOIN pg_catalog.pg_attribute a ON a.attrelid = "
             "x.indrelid AND a.attnum = k.attnum WHERE x.indrelid = " +
                 oid + " AND k.n <= x.indnkeyatts ORDER BY i.relname, k.n");
    std::map<std::string, std::size_t> byName;
    for (const Row& row : rows) {
        const std::string name = Text(row, 0);
        const std::string column = Text(row, 6);
        if (Text(row, 2) == "1") {
            schema.primaryKeyName = Text(row, 5).empty() ? name : Text(row, 5);
            schema.primaryKey.push_back(column);
            continue;
        }
        auto [at, added] = byName.try_emplace(name, schema.indexes.size());
        if (added) {
            IndexSchema index;
            index.name = name;
            index.unique = Text(row, 1) == "1";
            index.constraint = Text(row, 4) == "u";
            index.predicate = Text(row, 3);
            schema.indexes.push_back(index);
        }
        IndexSchema& index = schema.indexes[at->second];
        index.expression = index.expression || column.empty();
        index.keys.push_back({column, Text(row, 7) == "1"});
    }
}

ReferentialAction Action(const std::string& code) {
    if (code == "r")
        return ReferentialAction::kRestrict;
    if (code == "c")
        return ReferentialAction::kCascade;
    if (code == "n")
        return ReferentialAction::kSetNull;
    if (code == "d")
        return ReferentialAction::kSetDefault;
    return ReferentialAction::kNoAction;
}

void ReadForeignKeys(adodb::Connection& source, const std::string& oid, TableSchema& schema) {
    const std::vector<Row> rows = Rows(
        source,
        "SELECT c.conname, a.attname, r.relname, ra.attname, c.confupdtype::text, "
        "c.confdeltype::text FROM pg_catalog.pg_constraint c JOIN pg_catalog.pg_class r ON "
        "r.oid = c.confrelid CROSS JOIN LATERAL unnest(c.conkey, c.confkey) WITH ORDINALITY AS "
        "k(attnum, refnum, n) JOIN pg_catalog.pg_attribute a ON a.attrelid = c.conrelid AND "
        "a.attnum = k.attnum JOIN pg_catalog.pg_attribute ra ON ra.attrelid = c.confrelid AND "
        "ra.attnum = k.refnum WHERE c.conrelid = " +
            oid + " AND c.contype = 'f' ORDER BY c.conname, k.n");
    for (const Row& row : rows) {
        if (schema.foreignKeys.empty() || schema.foreignKeys.back().name != Text(row, 0)) {
            ForeignKeySchema key;
            key.name = Text(row, 0);
            key.table = Text(row, 2);
            key.onUpdate = Action(Text(row, 4));
            key.onDelete = Action(Text(row, 5));
            schema.foreignKeys.push_back(key);
        }
        schema.foreignKeys.back().columns.push_back(Text(row, 1));
        schema.foreignKeys.back().referencedColumns.push_back(Text(row, 3));
    }
}

void ReadChecks(adodb::Connection& source, const std::string& oid, TableSchema& schema) {
    for (const Row& row : Rows(source,
                               "SELECT conname, pg_get_constraintdef(oid) FROM "
                               "pg_catalog.pg_constraint WHERE conrelid = " +
                                   oid + " AND contype IN ('c', 'x') ORDER BY conname")) {
        schema.notes.push_back("constraint " + Text(row, 0) + " (" + Text(row, 1) +
                               "): not carried");
    }
}

// Inheritance has no counterpart elsewhere: each table goes with its own rows only.
void ReadInheritance(adodb::Connection& source, const std::string& oid, TableSchema& schema) {
    for (const Row& row : Rows(source,
                               "SELECT p.relname FROM pg_catalog.pg_inherits i JOIN "
                               "pg_catalog.pg_class p ON p.oid = i.inhparent JOIN "
                               "pg_catalog.pg_class c ON c.oid = i.inhrelid WHERE i.inhrelid = " +
                                   oid + " AND c.relispartition = false ORDER BY i.inhseqno")) {
        schema.notes.push_back("INHERITS (" + Text(row, 0) +
                               "): not carried; the table goes with its own rows and columns");
    }
    for (const Row& row : Rows(source,
                               "SELECT c.relname FROM pg_catalog.pg_inherits i JOIN "
                               "pg_catalog.pg_class c ON c.oid = i.inhrelid WHERE i.inhparent = " +
                                   oid + " AND c.relispartition = false ORDER BY c.relname")) {
        schema.notes.push_back("rows of " + Text(row, 0) +
                               ", which inherits from this table: not carried here; it is a "
                               "table of its own");
    }
}

}  // namespace

TableSchema PostgreSQLSchema(adodb::Connection& source, const std::string& table) {
    TableSchema schema;
    schema.name = table;
    const std::string oid = Oid(table);
    ReadColumns(source, oid, schema);
    ReadIndexes(source, oid, schema);
    ReadForeignKeys(source, oid, schema);
    ReadChecks(source, oid, schema);
    ReadInheritance(source, oid, schema);
    return schema;
}

}  // namespace korvanta::schema
