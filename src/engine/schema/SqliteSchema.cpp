// A SQLite table's schema from its pragmas and the statements SQLite keeps, over the ODBC
// connection (sqliteodbc passes the SQL through). Its driver's catalog functions lose the
// scale of a NUMERIC, a default's quotes and every AUTOINCREMENT.
#include <algorithm>
#include <cctype>

#include "engine/schema/SchemaReader.h"
#include "sql/dialect/SqliteDialect.h"
#include "sql/dialect/SqliteStatement.h"

namespace korvanta::schema {

namespace {

std::string Lit(const std::string& text) {
    return SqliteDialect().String(text);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string StatementOf(adodb::Connection& source, const std::string& type,
                        const std::string& name) {
    const std::vector<Row> rows =
        Rows(source, "SELECT sql FROM sqlite_master WHERE type = " + Lit(type) +
                         " AND name = " + Lit(name));
    return rows.empty() ? std::string() : Text(rows[0], 0);
}

void ReadColumns(adodb::Connection& source, const std::string& table, TableSchema& schema) {
    const std::vector<Row> rows =
        Rows(source,
             "SELECT name, type, \"notnull\", dflt_value, pk, hidden FROM "
             "pragma_table_xinfo(" +
                 Lit(table) + ") ORDER BY cid");
    std::vector<std::pair<int, std::string>> key;
    for (const Row& row : rows) {
        ColumnSchema column;
        column.name = Text(row, 0);
        column.type = SqliteDialect::ReadType(Text(row, 1));
        column.notNull = Text(row, 2) == "1";
        const std::string hidden = Text(row, 5);
        column.generated = hidden == "2" || hidden == "3";
        if (!column.generated && row[3])
            column.defaultValue = SqliteDialect::ReadDefault(*row[3]);
        if (const int pk = std::atoi(Text(row, 4).c_str()); pk > 0)
            key.emplace_back(pk, column.name);
        schema.columns.push_back(column);
    }
    std::sort(key.begin(), key.end());
    for (const auto& [order, name] : key)
        schema.primaryKey.push_back(name);
}

// An INTEGER PRIMARY KEY is the rowid: SQLite numbers the rows in it, with AUTOINCREMENT
// or without. Not so when its key has an index of its own (INTEGER PRIMARY KEY DESC, a table
// WITHOUT ROWID): SQLite numbers nothing there.
void MarkRowid(adodb::Connection& source, const std::string& table, TableSchema& schema) {
    if (schema.primaryKey.size() != 1)
        return;
    if (!Rows(source, "SELECT 1 FROM pragma_index_list(" + Lit(table) + ") WHERE origin = 'pk'")
             .empty())
        return;
    for (ColumnSchema& column : schema.columns) {
        if (column.name == schema.primaryKey[0] && Lower(column.type.name) == "integer") {
            column.identity = true;
            column.notNull = true;
        }
    }
}

// A key compared under a collation of its own (email COLLATE NOCASE), as the index lists it.
struct KeyCollation {
    std::string index, column, collation;
};

// Each key whose collation is not its column's (known once the table's statement is read):
// the index is made under the column's, and that is named.
void NameKeyCollations(TableSchema& schema, const std::vector<KeyCollation>& keys) {
    for (const KeyCollation& key : keys) {
        const auto own = std::find_if(schema.columns.begin(), schema.columns.end(),
                                      [&](const ColumnSchema& c) { return c.name == key.column; });
        const std::string column = own == schema.columns.end() ? "" : Lower(own->collation.name);
        if (key.column.empty() || Lower(key.collation) == "binary" ||
            column == Lower(key.collation))
            continue;
        schema.notes.push_back("index " + key.index + ": its key " + key.column + " COLLATE " +
                               key.collation + ": made under the column's own collation");
    }
}

void ReadIndexes(adodb::Connection& source, const std::string& table, TableSchema& schema,
                 std::vector<KeyCollation>& collations) {
    const SqliteDialect dialect;
    const std::vector<Row> indexes =
        Rows(source,
             "SELECT name, \"unique\", origin, partial FROM pragma_index_list(" + Lit(table) + ")");
    for (const Row& row : indexes) {
        if (Text(row, 2) == "pk")
            continue;  // the primary key, read with the columns
        IndexSchema index;
        index.name = Text(row, 0);
        index.unique = Text(row, 1) == "1";
        index.constraint = Text(row, 2) == "u";
        index.automatic = SqliteDialect::IsOwnName(index.name);
        // Conditions and expressions are only in the statement that made the index.
        std::string where;
        const std::vector<std::string> written =
            index.automatic ? std::vector<std::string>()
                            : ReadSqliteIndexKeys(StatementOf(source, "index", index.name), where);
        if (Text(row, 3) == "1")
            index.predicate = dialect.Read(where);
        for (const Row& key :
             Rows(source, "SELECT cid, name, \"desc\", seqno, coll FROM pragma_index_xinfo(" +
                              Lit(index.name) + ") WHERE key = 1 ORDER BY seqno")) {
            collations.push_back({index.name, Text(key, 1), Text(key, 4)});
            IndexKey k;
            k.column = Text(key, 1);
            k.descending = Text(key, 2) == "1";
            const std::size_t at = std::strtoul(Text(key, 3).c_str(), nullptr, 10);
            if (Text(key, 0) == "-2")
                k.expression = dialect.Read(at < written.size() ? written[at] : std::string());
            index.keys.push_back(std::move(k));
        }
        schema.indexes.push_back(index);
    }
    std::reverse(schema.indexes.begin(), schema.indexes.end());  // in the order made
}

ReferentialAction Action(const std::string& text) {
    const std::string action = Lower(text);
    if (action == "restrict")
        return ReferentialAction::kRestrict;
    if (action == "cascade")
        return ReferentialAction::kCascade;
    if (action == "set null")
        return ReferentialAction::kSetNull;
    if (action == "set default")
        return ReferentialAction::kSetDefault;
    return ReferentialAction::kNoAction;
}

void ReadForeignKeys(adodb::Connection& source, const std::string& table, TableSchema& schema) {
    const std::vector<Row> rows =
        Rows(source,
             "SELECT id, \"table\", \"from\", \"to\", on_update, on_delete FROM "
             "pragma_foreign_key_list(" +
                 Lit(table) + ") ORDER BY id, seq");
    std::string id;
    for (const Row& row : rows) {
        if (schema.foreignKeys.empty() || Text(row, 0) != id) {
            id = Text(row, 0);
            ForeignKeySchema key;
            key.table = Text(row, 1);
            key.onUpdate = Action(Text(row, 4));
            key.onDelete = Action(Text(row, 5));
            schema.foreignKeys.push_back(key);
        }
        schema.foreignKeys.back().columns.push_back(Text(row, 2));
        schema.foreignKeys.back().referencedColumns.push_back(Text(row, 3));
    }
    // A key that names no columns of its table refers to that table's primary key.
    for (ForeignKeySchema& key : schema.foreignKeys) {
        if (std::all_of(key.referencedColumns.begin(), key.referencedColumns.end(),
                        [](const std::string& c) { return c.empty(); })) {
            TableSchema referred;
            ReadColumns(source, key.table, referred);
            key.referencedColumns = referred.primaryKey;
        }
    }
}

// What only the table's statement says: constraint names, CHECK constraints, collations
// and when a foreign key is checked.
void ReadStatement(adodb::Connection& source, const std::string& table, TableSchema& schema) {
    const SqliteTableText text = ReadSqliteTable(StatementOf(source, "table", table));
    schema.primaryKeyName = text.primaryKeyName;
    for (const SqliteTableText::Named& unique : text.uniques) {
        for (IndexSchema& index : schema.indexes) {
            std::vector<std::string> columns;
            for (const IndexKey& key : index.keys)
                columns.push_back(Lower(key.column));
            std::vector<std::string> named;
            for (const std::string& column : unique.columns)
                named.push_back(Lower(column));
            if (index.constraint && index.automatic && columns == named && !unique.name.empty()) {
                index.name = unique.name;
                index.automatic = false;
            }
        }
    }
    for (const SqliteTableText::Reference& reference : text.references) {
        for (ForeignKeySchema& key : schema.foreignKeys) {
            if (Lower(key.table) == Lower(reference.table) && key.columns == reference.columns &&
                key.name.empty()) {
                key.name = reference.name;
                key.deferrable = reference.deferrable;
                key.initiallyDeferred = reference.initiallyDeferred;
                break;
            }
        }
    }
    const SqliteDialect dialect;
    for (const CheckSchema& check : text.checks)
        schema.checks.push_back({check.name, dialect.Read(check.expression.text), {}, {}});
    for (const auto& [name, collation] : text.collations) {
        for (ColumnSchema& column : schema.columns) {
            if (Lower(column.name) != Lower(name) || Lower(collation) == "binary")
                continue;
            column.collation.name = collation;
            column.collation.kind = Lower(collation) == "nocase" ? Collation::Kind::kIgnoringCase
                                                                 : Collation::Kind::kOther;
        }
    }
}

// A view's definition and the table's triggers, which no other database takes: named.
void ReadTableFacts(adodb::Connection& source, const std::string& table, TableSchema& schema) {
    std::string triggers;
    for (const Row& row :
         Rows(source, "SELECT type, name FROM sqlite_master WHERE tbl_name = " + Lit(table) +
                          " AND type IN ('view', 'trigger') ORDER BY name")) {
        if (Text(row, 0) == "view")
            schema.notes.push_back("a view's definition: its rows go as a table");
        else
            triggers += (triggers.empty() ? "" : ", ") + Text(row, 1);
    }
    if (!triggers.empty())
        schema.notes.push_back("triggers " + triggers);
}

}  // namespace

TableSchema SqliteSchema(adodb::Connection& source, const std::string& table) {
    TableSchema schema;
    schema.name = table;
    ReadColumns(source, table, schema);
    MarkRowid(source, table, schema);
    std::vector<KeyCollation> collations;
    ReadIndexes(source, table, schema, collations);
    ReadForeignKeys(source, table, schema);
    ReadStatement(source, table, schema);
    NameKeyCollations(schema, collations);
    ReadTableFacts(source, table, schema);
    return schema;
}

}  // namespace korvanta::schema
