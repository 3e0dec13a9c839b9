#include "engine/schema/SchemaReader.h"

#include "adodb/Error.h"
#include "adodb/Recordset.h"
#include "sql/dialect/OdbcDialect.h"

namespace korvanta {

namespace schema {

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

}  // namespace schema

namespace {

// All an unknown data source without catalog functions tells: its columns' types.
TableSchema FromFields(const std::string& table, const std::vector<SourceField>& fields) {
    TableSchema schema;
    schema.name = table;
    for (const SourceField& field : fields) {
        ColumnSchema column;
        column.name = field.name;
        column.type = OdbcDialect::ReadType(field.type, field.nativeTypeName);
        schema.columns.push_back(column);
    }
    schema.notes.push_back(
        "keys, defaults and indexes: this data source's catalog is not known, only its "
        "columns were read");
    return schema;
}

// The reader of the dialect's database.
class SchemaOfDialect final : public DialectVisitor {
  public:
    SchemaOfDialect(adodb::Connection& source, const std::string& table,
                    const std::vector<SourceField>& fields)
        : source_(source), table_(table), fields_(fields) {}

    void Visit(const PostgreSQLDialect&) override {
        read = schema::PostgreSQLSchema(source_, table_);
    }
    void Visit(const SqlAnywhereDialect&) override {
        read = schema::SqlAnywhereSchema(source_, table_);
    }
    void Visit(const SqliteDialect&) override { read = schema::SqliteSchema(source_, table_); }
    void Visit(const OdbcDialect&) override {
        try {
            read = schema::OdbcSchema(source_, table_);
        } catch (const adodb::Error&) {
            read = FromFields(table_, fields_);
        }
    }

    TableSchema read;

  private:
    adodb::Connection& source_;
    const std::string& table_;
    const std::vector<SourceField>& fields_;
};

}  // namespace

TableSchema ReadTableSchema(adodb::Connection& source, const Dialect& dialect,
                            const std::string& table, const std::vector<SourceField>& fields) {
    SchemaOfDialect reader(source, table, fields);
    dialect.Accept(reader);
    return std::move(reader.read);
}

}  // namespace korvanta
