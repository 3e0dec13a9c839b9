#include "engine/schema/SchemaReader.h"

#include <algorithm>
#include <cctype>

#include "adodb/Enums.h"
#include "adodb/Error.h"
#include "adodb/Recordset.h"

namespace korvanta {

namespace catalog {

std::vector<Row> Rows(adodb::Connection& connection, const std::string& sql) {
    std::vector<Row> rows;
    adodb::Recordset records = connection.Execute(sql);
    if (!records.IsOpen())
        return rows;
    const adodb::FieldList& fields = records.Fields();
    while (!records.IsEOF()) {
        Row row;
        for (int j = 0; j < fields.Count(); ++j) {
            const adodb::Variant value = fields[j].Value();
            row.push_back(value.IsNull() ? std::nullopt : std::optional<std::string>(value.Text()));
        }
        rows.push_back(std::move(row));
        records.MoveNext();
    }
    records.Close();
    return rows;
}

std::string Text(const Row& row, std::size_t column) {
    return column < row.size() && row[column] ? *row[column] : std::string();
}

}  // namespace catalog

namespace {

// What a driver's description of a column says of its type: all an unknown data source
// gives.
ColumnType TypeOfField(const SourceField& field) {
    ColumnType type;
    type.name = field.nativeTypeName;
    switch (field.type) {
        case adodb::adSmallInt:
        case adodb::adTinyInt:
        case adodb::adUnsignedTinyInt:
            type.kind = TypeKind::kSmallInt;
            break;
        case adodb::adInteger:
        case adodb::adUnsignedSmallInt:
            type.kind = TypeKind::kInteger;
            break;
        case adodb::adBigInt:
        case adodb::adUnsignedInt:
            type.kind = TypeKind::kBigInt;
            break;
        case adodb::adNumeric:
        case adodb::adDecimal:
        case adodb::adVarNumeric:
        case adodb::adUnsignedBigInt:
        case adodb::adCurrency:
            type.kind = TypeKind::kNumeric;
            break;
        case adodb::adSingle:
            type.kind = TypeKind::kReal;
            break;
        case adodb::adDouble:
            type.kind = TypeKind::kDouble;
            break;
        case adodb::adBinary:
        case adodb::adVarBinary:
        case adodb::adLongVarBinary:
            type.kind = TypeKind::kBinary;
            break;
        case adodb::adDate:
        case adodb::adDBDate:
            type.kind = TypeKind::kDate;
            break;
        case adodb::adDBTime:
            type.kind = TypeKind::kTime;
            break;
        case adodb::adDBTimeStamp:
            type.kind = TypeKind::kTimestamp;
            break;
        case adodb::adBoolean:
            type.kind = TypeKind::kBoolean;
            break;
        case adodb::adGUID:
            type.kind = TypeKind::kUuid;
            break;
        default:
            type.kind = TypeKind::kText;
            break;
    }
    return type;
}

TableSchema FromFields(const std::string& table, const std::vector<SourceField>& fields) {
    TableSchema schema;
    schema.name = table;
    for (const SourceField& field : fields) {
        ColumnSchema column;
        column.name = field.name;
        column.type = TypeOfField(field);
        schema.columns.push_back(column);
    }
    schema.notes.push_back(
        "keys, defaults and indexes: this data source's catalog is not known, only its "
        "columns were read");
    return schema;
}

bool Contains(std::string text, std::string_view part) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text.find(part) != std::string::npos;
}

}  // namespace

TableSchema ReadTableSchema(adodb::Connection& source, Side side, const std::string& table,
                            const std::vector<SourceField>& fields) {
    if (side == Side::PostgreSQL)
        return catalog::PostgreSQLSchema(source, table);
    const std::string dbms = source.DbmsName();
    if (Contains(dbms, "sqlite"))
        return catalog::SqliteSchema(source, table);
    if (Contains(dbms, "sql anywhere") || Contains(dbms, "adaptive server anywhere"))
        return catalog::SqlAnywhereSchema(source, table);
    try {
        return catalog::OdbcSchema(source, table);
    } catch (const adodb::Error&) {
        return FromFields(table, fields);
    }
}

}  // namespace korvanta
