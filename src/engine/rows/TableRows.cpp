#include "engine/rows/TableRows.h"

#include "sql/model/SqlName.h"

namespace korvanta {

void TableRows::Open(adodb::Connection& connection, std::shared_ptr<const Dialect> dialect,
                     const std::string& table) {
    dialect_ = std::move(dialect);
    const std::string quoted = QuotedName(table);
    std::string kind;
    if (const std::string query = dialect_->TableKindQuery(quoted); !query.empty()) {
        adodb::Recordset answer = connection.Execute(query);
        if (!answer.IsEOF())
            kind = answer.Fields()[0].Value().Text();
        answer.Close();
    }
    from_ = dialect_->RowSource(quoted, kind);
    statement_ = "SELECT * FROM " + from_;
    connection.FloatsAsNumbers = dialect_->FloatsAsNumbers();
    records_.Open(statement_, connection);
    const adodb::FieldList& list = records_.Fields();
    for (int j = 0; j < list.Count(); ++j)
        fields_.push_back({list[j].Name(), list[j].Type(), list[j].NativeTypeName()});
    const std::string exact = dialect_->ExactRowsQuery(from_, fields_, marked_);
    if (exact.empty())
        return;
    records_.Close();
    statement_ = exact;
    records_.Open(statement_, connection);
}

std::string TableRows::CountStatement() const {
    return "SELECT count(*) FROM " + from_;
}

}  // namespace korvanta
