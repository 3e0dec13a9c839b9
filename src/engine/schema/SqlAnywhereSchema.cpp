// A SQL Anywhere table's schema from its system views (SYS.SYSTAB, SYSTABCOL, SYSDOMAIN,
// SYSIDX, SYSIDXCOL), as its documentation describes them for versions 12 to 17. No SQL
// Anywhere server runs where this is built: these queries are checked against the
// documentation only.
#include <map>

#include "engine/schema/SchemaReader.h"
#include "sql/dialect/SqlAnywhereDialect.h"

namespace korvanta::schema {

namespace {

std::string Lit(const std::string& text) {
    return SqlAnywhereDialect().String(text);
}

// The tables of that name the connection's user may reach: its own first.
std::string TableIdOf(const std::string& table) {
    return "(SELECT FIRST t.table_id FROM SYS.SYSTAB t WHERE t.table_name = " + Lit(table) +
           " ORDER BY CASE WHEN t.creator = USER_ID() THEN 0 ELSE 1 END)";
}

void ReadColumns(adodb::Connection& source, const std::string& id, TableSchema& schema) {
    const std::vector<Row> rows = Rows(
        source,
        "SELECT c.column_name, d.domain_name, c.width, c.scale, c.nulls, c.\"default\", "
        "c.column_type, c.column_id FROM SYS.SYSTABCOL c JOIN SYS.SYSDOMAIN d ON d.domain_id = "
        "c.domain_id WHERE c.table_id = " +
            id + " ORDER BY c.column_id");
    for (const Row& row : rows) {
        ColumnSchema column;
        column.name = Text(row, 0);
        column.type = SqlAnywhereDialect::ReadType(Text(row, 1), std::atoi(Text(row, 2).c_str()),
                                                   std::atoi(Text(row, 3).c_str()));
        column.notNull = Text(row, 4) == "N";
        column.generated = Text(row, 6) == "C";
        if (!column.generated && row[5])
            column.defaultValue = SqlAnywhereDialect::ReadDefault(*row[5], column.identity);
        schema.columns.push_back(column);
    }
}

// index_category 1 is the primary key, 3 an index; "unique" 1 a unique index, 2 a unique
// constraint; "order" A or D.
void ReadIndexes(adodb::Connection& source, const std::string& id, TableSchema& schema) {
    const std::vector<Row> rows = Rows(
        source,
        "SELECT i.index_name, i.index_category, i.\"unique\", c.column_name, ic.\"order\" FROM "
        "SYS.SYSIDX i JOIN SYS.SYSIDXCOL ic ON ic.table_id = i.table_id AND ic.index_id = "
        "i.index_id JOIN SYS.SYSTABCOL c ON c.table_id = ic.table_id AND c.column_id = "
        "ic.column_id WHERE i.table_id = " +
            id + " AND i.index_category IN (1, 3) ORDER BY i.index_id, ic.sequence");
    std::map<std::string, std::size_t> byName;
    for (const Row& row : rows) {
        if (Text(row, 1) == "1") {
            schema.primaryKeyName = Text(row, 0);
            schema.primaryKey.push_back(Text(row, 3));
            continue;
        }
        auto [at, added] = byName.try_emplace(Text(row, 0), schema.indexes.size());
        if (added) {
            IndexSchema index;
            index.name = Text(row, 0);
            index.unique = Text(row, 2) == "1" || Text(row, 2) == "2";
            index.constraint = Text(row, 2) == "2";
            schema.indexes.push_back(index);
        }
        schema.indexes[at->second].keys.push_back({Text(row, 3), Text(row, 4) == "D"});
    }
}

}  // namespace

TableSchema SqlAnywhereSchema(adodb::Connection& source, const std::string& table) {
    TableSchema schema;
    schema.name = table;
    const std::string id = TableIdOf(table);
    ReadColumns(source, id, schema);
    ReadIndexes(source, id, schema);
    schema.notes.push_back("foreign keys of a SQL Anywhere source: not read yet");
    return schema;
}

}  // namespace korvanta::schema
