// A table's schema through the ODBC catalog functions, for a data source whose own catalog
// the program does not know: what its driver reports of the columns (SQLColumns), the
// primary key (SQLPrimaryKeys), the indexes (SQLStatistics) and the foreign keys
// (SQLForeignKeys). Drivers differ in what they get right; the summary says the schema was
// read this way.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <map>

#include "adodb/Enums.h"
#include "adodb/Recordset.h"
#include "engine/schema/SchemaReader.h"
#include "sql/dialect/OdbcDialect.h"

namespace korvanta::schema {

namespace {

// The rows of a catalog record set, each as its columns by ODBC's names.
using NamedRow = std::map<std::string, std::string>;

std::vector<NamedRow> NamedRows(adodb::Connection& source, int schema, const std::string& table) {
    std::vector<NamedRow> rows;
    adodb::Recordset records = source.OpenSchema(schema, table);
    const adodb::FieldList& fields = records.Fields();
    while (!records.IsEOF()) {
        NamedRow row;
        for (int j = 0; j < fields.Count(); ++j) {
            const adodb::Variant value = fields[j].Value();
            if (!value.IsNull())
                row[fields[j].Name()] = std::string(value.Text());
        }
        rows.push_back(std::move(row));
        records.MoveNext();
    }
    return rows;
}

std::string Get(const NamedRow& row, const std::string& name) {
    const auto found = row.find(name);
    return found == row.end() ? std::string() : found->second;
}

int Number(const NamedRow& row, const std::string& name, int otherwise = -1) {
    const std::string text = Get(row, name);
    return text.empty() ? otherwise : std::atoi(text.c_str());
}

// The driver's SQL type as its ADO type; one it does not name is text of any length.
ColumnType TypeOf(const NamedRow& row) {
    const int ado = adodb::KnownAdoType(Number(row, "DATA_TYPE", SQL_VARCHAR), false)
                        .value_or(adodb::adLongVarWChar);
    return OdbcDialect::ReadType(ado, Get(row, "TYPE_NAME"), Number(row, "COLUMN_SIZE"),
                                 Number(row, "DECIMAL_DIGITS", 0));
}

ReferentialAction Action(int rule) {
    switch (rule) {
        case SQL_CASCADE:
            return ReferentialAction::kCascade;
        case SQL_RESTRICT:
            return ReferentialAction::kRestrict;
        case SQL_SET_NULL:
            return ReferentialAction::kSetNull;
        case SQL_SET_DEFAULT:
            return ReferentialAction::kSetDefault;
        default:
            return ReferentialAction::kNoAction;
    }
}

void ReadColumns(adodb::Connection& source, const std::string& table, TableSchema& schema) {
    for (const NamedRow& row : NamedRows(source, adodb::adSchemaColumns, table)) {
        ColumnSchema column;
        column.name = Get(row, "COLUMN_NAME");
        column.type = TypeOf(row);
        column.notNull = Number(row, "NULLABLE", SQL_NULLABLE) == SQL_NO_NULLS;
        // A default the driver cut short ("TRUNCATED") is no default a copy can write.
        if (const std::string def = Get(row, "COLUMN_DEF"); def.rfind("TRUNCATE", 0) == 0) {
            column.defaultValue.kind = ColumnDefault::Kind::kOther;
            column.defaultValue.text = def;
            column.defaultValue.why = "the driver gave it cut short";
        } else if (!def.empty()) {
            column.defaultValue = OdbcDialect::ReadDefault(def);
        }
        schema.columns.push_back(column);
    }
    std::vector<std::pair<int, std::string>> key;
    for (const NamedRow& row : NamedRows(source, adodb::adSchemaPrimaryKeys, table)) {
        key.emplace_back(Number(row, "KEY_SEQ", 0), Get(row, "COLUMN_NAME"));
        schema.primaryKeyName = Get(row, "PK_NAME");
    }
    std::sort(key.begin(), key.end());
    for (const auto& [order, name] : key)
        schema.primaryKey.push_back(name);
}

void ReadIndexes(adodb::Connection& source, const std::string& table, TableSchema& schema) {
    std::map<std::string, std::size_t> byName;
    for (const NamedRow& row : NamedRows(source, adodb::adSchemaIndexes, table)) {
        const std::string name = Get(row, "INDEX_NAME");
        if (Number(row, "TYPE", SQL_TABLE_STAT) == SQL_TABLE_STAT || name.empty())
            continue;
        auto [at, added] = byName.try_emplace(name, schema.indexes.size());
        if (added) {
            IndexSchema index;
            index.name = name;
            index.unique = Number(row, "NON_UNIQUE", 1) == 0;
            if (const std::string filter = Get(row, "FILTER_CONDITION"); !filter.empty())
                index.predicate = OdbcDialect().Read(filter);
            schema.indexes.push_back(index);
        }
        IndexSchema& index = schema.indexes[at->second];
        const std::string column = Get(row, "COLUMN_NAME");
        IndexKey key;
        key.column = column;
        key.descending = Get(row, "ASC_OR_DESC") == "D";
        // The driver names no expression: the key is one, unknown.
        if (column.empty())
            key.expression = {"an expression", std::nullopt, "the driver does not give it"};
        index.keys.push_back(std::move(key));
    }
    // The primary key's own index is the key.
    std::erase_if(schema.indexes, [&](const IndexSchema& index) {
        std::vector<std::string> columns;
        for (const IndexKey& key : index.keys)
            columns.push_back(key.column);
        return index.unique && columns == schema.primaryKey;
    });
}

void ReadForeignKeys(adodb::Connection& source, const std::string& table, TableSchema& schema) {
    std::map<std::string, std::size_t> byName;
    for (const NamedRow& row : NamedRows(source, adodb::adSchemaForeignKeys, table)) {
        const std::string name = Get(row, "FK_NAME") + "|" + Get(row, "PKTABLE_NAME");
        auto [at, added] = byName.try_emplace(name, schema.foreignKeys.size());
        if (added || Number(row, "KEY_SEQ", 1) == 1) {
            ForeignKeySchema key;
            key.name = Get(row, "FK_NAME");
            key.table = Get(row, "PKTABLE_NAME");
            key.onUpdate = Action(Number(row, "UPDATE_RULE", SQL_NO_ACTION));
            key.onDelete = Action(Number(row, "DELETE_RULE", SQL_NO_ACTION));
            at->second = schema.foreignKeys.size();
            schema.foreignKeys.push_back(key);
        }
        schema.foreignKeys[at->second].columns.push_back(Get(row, "FKCOLUMN_NAME"));
        schema.foreignKeys[at->second].referencedColumns.push_back(Get(row, "PKCOLUMN_NAME"));
    }
}

}  // namespace

TableSchema OdbcSchema(adodb::Connection& source, const std::string& table) {
    TableSchema schema;
    schema.name = table;
    ReadColumns(source, table, schema);
    ReadIndexes(source, table, schema);
    ReadForeignKeys(source, table, schema);
    schema.notes.push_back(
        "the schema as the data source's ODBC driver reports it: its sizes, defaults and "
        "indexes may be less than exact");
    return schema;
}

}  // namespace korvanta::schema
