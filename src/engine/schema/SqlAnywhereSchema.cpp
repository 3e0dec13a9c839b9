// A SQL Anywhere table's schema from its system views (SYS.SYSTAB, SYSTABCOL, SYSDOMAIN,
// SYSIDX, SYSIDXCOL), as its documentation describes them for versions 12 to 17. No SQL
// Anywhere server runs where this is built: these queries are checked against the
// documentation only.
#include <map>

#include "adodb/Error.h"
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
// constraint, 5 a unique index under which NULLs are equal; "order" A or D.
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
            index.unique = Text(row, 2) == "1" || Text(row, 2) == "2" || Text(row, 2) == "5";
            index.constraint = Text(row, 2) == "2";
            index.nullsNotDistinct = Text(row, 2) == "5";
            schema.indexes.push_back(index);
        }
        IndexKey key;
        key.column = Text(row, 3);
        key.descending = Text(row, 4) == "D";
        schema.indexes[at->second].keys.push_back(std::move(key));
    }
}

// A referential trigger's action: C cascade, N set null, D set default, R restrict.
ReferentialAction Action(const std::string& code) {
    if (code == "C")
        return ReferentialAction::kCascade;
    if (code == "N")
        return ReferentialAction::kSetNull;
    if (code == "D")
        return ReferentialAction::kSetDefault;
    return ReferentialAction::kRestrict;
}

// A foreign key is an index of the table (its name the key's role name) whose columns
// name the primary table's columns they match; its actions are the referential triggers
// of the primary table (event C on update, D on delete).
void ReadForeignKeys(adodb::Connection& source, const std::string& id, TableSchema& schema) {
    const std::vector<Row> rows = Rows(
        source,
        "SELECT ix.index_name, pt.table_name, fc.column_name, pc.column_name, "
        "fk.check_on_commit, tu.referential_action, td.referential_action FROM SYS.SYSFKEY fk "
        "JOIN SYS.SYSIDX ix ON ix.table_id = fk.foreign_table_id AND ix.index_id = "
        "fk.foreign_index_id JOIN SYS.SYSTAB pt ON pt.table_id = fk.primary_table_id JOIN "
        "SYS.SYSIDXCOL ic ON ic.table_id = fk.foreign_table_id AND ic.index_id = "
        "fk.foreign_index_id JOIN SYS.SYSTABCOL fc ON fc.table_id = ic.table_id AND fc.column_id "
        "= ic.column_id JOIN SYS.SYSTABCOL pc ON pc.table_id = fk.primary_table_id AND "
        "pc.column_id = ic.primary_column_id LEFT JOIN SYS.SYSTRIGGER tu ON tu.foreign_table_id "
        "= fk.foreign_table_id AND tu.foreign_key_id = fk.foreign_index_id AND tu.event = 'C' "
        "LEFT JOIN SYS.SYSTRIGGER td ON td.foreign_table_id = fk.foreign_table_id AND "
        "td.foreign_key_id = fk.foreign_index_id AND td.event = 'D' WHERE fk.foreign_table_id = " +
            id + " ORDER BY ix.index_name, ic.sequence");
    for (const Row& row : rows) {
        if (schema.foreignKeys.empty() || schema.foreignKeys.back().name != Text(row, 0)) {
            ForeignKeySchema key;
            key.name = Text(row, 0);
            key.table = Text(row, 1);
            key.initiallyDeferred = key.deferrable = Text(row, 4) == "Y";
            key.onUpdate = Action(Text(row, 5));
            key.onDelete = Action(Text(row, 6));
            schema.foreignKeys.push_back(key);
        }
        schema.foreignKeys.back().columns.push_back(Text(row, 2));
        schema.foreignKeys.back().referencedColumns.push_back(Text(row, 3));
    }
}

// Column and table CHECK constraints (constraint types C and T), their text in SYSCHECK.
void ReadChecks(adodb::Connection& source, const std::string& id, TableSchema& schema) {
    const SqlAnywhereDialect dialect;
    for (const Row& row :
         Rows(source,
              "SELECT c.constraint_name, k.check_defn FROM SYS.SYSCONSTRAINT c JOIN SYS.SYSCHECK "
              "k ON k.check_id = c.constraint_id JOIN SYS.SYSTAB t ON t.object_id = "
              "c.table_object_id WHERE t.table_id = " +
                  id + " AND c.constraint_type IN ('C', 'T') ORDER BY c.constraint_name")) {
        std::string text = Text(row, 1);
        // The definition may keep its CHECK word.
        const std::size_t start = text.find_first_not_of(" \t\r\n");
        if (start != std::string::npos && text.size() >= start + 5 &&
            (text.compare(start, 5, "CHECK") == 0 || text.compare(start, 5, "check") == 0))
            text.erase(0, start + 5);
        schema.checks.push_back({Text(row, 0), dialect.Read(text), {}, {}});
    }
}

// These views' columns are known from the documentation only: where a server's differ,
// the table still goes, and the summary says what was not read and why.
void ReadOrName(const char* what, TableSchema& schema,
                void (*read)(adodb::Connection&, const std::string&, TableSchema&),
                adodb::Connection& source, const std::string& id) {
    try {
        read(source, id, schema);
    } catch (const adodb::Error& error) {
        schema.notes.push_back(std::string(what) +
                               ": not read; the catalog query failed: " + error.what());
    }
}

}  // namespace

TableSchema SqlAnywhereSchema(adodb::Connection& source, const std::string& table) {
    TableSchema schema;
    schema.name = table;
    const std::string id = TableIdOf(table);
    ReadColumns(source, id, schema);
    ReadIndexes(source, id, schema);
    ReadOrName("foreign keys", schema, ReadForeignKeys, source, id);
    ReadOrName("check constraints", schema, ReadChecks, source, id);
    return schema;
}

}  // namespace korvanta::schema
