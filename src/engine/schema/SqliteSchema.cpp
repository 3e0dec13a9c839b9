// A SQLite table's schema from its pragmas and the statements SQLite keeps, over the ODBC
// connection (sqliteodbc passes the SQL through). Its driver's catalog functions lose the
// scale of a NUMERIC, a default's quotes and every AUTOINCREMENT.
#include <algorithm>
#include <cctype>

#include "engine/schema/SchemaReader.h"
#include "sql/dialect/SqliteDialect.h"

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

// A partial index's condition: what follows the last WHERE of its statement outside
// quotes and brackets.
std::string Predicate(const std::string& statement) {
    std::size_t at = std::string::npos;
    char quote = 0;
    int depth = 0;
    for (std::size_t i = 0; i + 5 <= statement.size(); ++i) {
        const char c = statement[i];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            quote = c == '[' ? ']' : c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (depth == 0 && Lower(statement.substr(i, 5)) == "where" &&
                   (i == 0 || std::isspace(static_cast<unsigned char>(statement[i - 1])))) {
            at = i + 5;
        }
    }
    if (at == std::string::npos)
        return {};
    std::string predicate = statement.substr(at);
    while (!predicate.empty() && std::isspace(static_cast<unsigned char>(predicate.front())))
        predicate.erase(0, 1);
    return predicate;
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
// or without.
void MarkRowid(TableSchema& schema) {
    if (schema.primaryKey.size() != 1)
        return;
    for (ColumnSchema& column : schema.columns) {
        if (column.name == schema.primaryKey[0] && Lower(column.type.name) == "integer") {
            column.identity = true;
            column.notNull = true;
        }
    }
}

void ReadIndexes(adodb::Connection& source, const std::string& table, TableSchema& schema) {
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
        if (Text(row, 3) == "1")
            index.predicate = Predicate(StatementOf(source, "index", index.name));
        for (const Row& key :
             Rows(source, "SELECT cid, name, \"desc\" FROM pragma_index_xinfo(" + Lit(index.name) +
                              ") WHERE key = 1 ORDER BY seqno")) {
            index.expression = index.expression || Text(key, 0) == "-2";
            index.keys.push_back({Text(key, 1), Text(key, 2) == "1"});
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

}  // namespace

TableSchema SqliteSchema(adodb::Connection& source, const std::string& table) {
    TableSchema schema;
    schema.name = table;
    ReadColumns(source, table, schema);
    MarkRowid(schema);
    ReadIndexes(source, table, schema);
    ReadForeignKeys(source, table, schema);
    const std::string statement = Lower(StatementOf(source, "table", table));
    for (std::size_t at = statement.find("check"); at != std::string::npos;
         at = statement.find("check", at + 5)) {
        const std::size_t open = statement.find_first_not_of(" \t\r\n", at + 5);
        if (open != std::string::npos && statement[open] == '(') {
            schema.notes.push_back("check constraints: not carried");
            break;
        }
    }
    return schema;
}

}  // namespace korvanta::schema
