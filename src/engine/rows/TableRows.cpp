#include "engine/rows/TableRows.h"

#include <charconv>

#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

// What SELECT reads the table's own rows from.
std::string RowSourceOf(adodb::Connection& connection, const Dialect& dialect,
                        const std::string& table) {
    const std::string quoted = QuotedName(table);
    std::string kind;
    if (const std::string query = dialect.TableKindQuery(quoted); !query.empty()) {
        adodb::Recordset answer = connection.Execute(query);
        if (!answer.IsEOF())
            kind = answer.Fields()[0].Value().Text();
        answer.Close();
    }
    return dialect.RowSource(quoted, kind);
}

std::vector<SourceField> FieldsOf(const adodb::Recordset& records) {
    std::vector<SourceField> fields;
    const adodb::FieldList& list = records.Fields();
    for (int j = 0; j < list.Count(); ++j)
        fields.push_back({list[j].Name(), list[j].Type(), list[j].NativeTypeName()});
    return fields;
}

}  // namespace

std::vector<SourceField> TableRows::Describe(adodb::Connection& connection, const Dialect& dialect,
                                             const std::string& table) {
    adodb::Recordset records;
    records.Open("SELECT * FROM " + RowSourceOf(connection, dialect, table) + " WHERE 1 = 0",
                 connection);
    std::vector<SourceField> fields = FieldsOf(records);
    records.Close();
    return fields;
}

void TableRows::Open(adodb::Connection& connection, std::shared_ptr<const Dialect> dialect,
                     const std::string& table, PostgresCopyConnection* wire,
                     const std::string& where, const std::vector<std::string>& columns,
                     const std::vector<std::string>& orderBy) {
    dialect_ = std::move(dialect);
    from_ = RowSourceOf(connection, *dialect_, table);
    where_ = where.empty() ? std::string() : " WHERE " + where;
    const std::string select =
        "SELECT " + (columns.empty() ? "*" : QuotedNames(columns)) + " FROM ";
    std::string order;
    for (const std::string& term : orderBy)
        order += (order.empty() ? " ORDER BY " : ", ") + term;
    statement_ = select + from_ + where_ + order;
    connection.FloatsAsNumbers = dialect_->FloatsAsNumbers();
    // Over libpq the driver only describes the columns: it reads no row.
    records_.Open(wire != nullptr ? select + from_ + " WHERE 1 = 0" : statement_, connection);
    fields_ = FieldsOf(records_);
    std::string exact = dialect_->ExactRowsQuery(from_, fields_, marked_);
    if (!exact.empty())
        exact += where_ + order;
    if (wire != nullptr) {
        records_.Close();
        if (!exact.empty())
            statement_ = exact;
        // The server writes these as the exact query asks: nothing to undo.
        marked_.clear();
        wire_ = std::make_unique<PostgresRows>(*wire, fields_);
        return;
    }
    if (exact.empty())
        return;
    for (std::size_t j = 0; j < marked_.size() && j < fields_.size(); ++j) {
        if (marked_[j])
            markedColumns_.push_back(j);
    }
    records_.Close();
    statement_ = exact;
    records_.Open(statement_, connection);
}

std::optional<long long> TableRows::Count(adodb::Connection& connection) {
    const std::string query = "SELECT count(*) FROM " + from_ + where_;
    if (wire_)
        return started_ ? std::nullopt : wire_->Number(query);
    try {
        adodb::Recordset count = connection.Execute(query);
        if (count.IsEOF() || count.Fields().Count() == 0)
            return std::nullopt;
        const std::string_view text = count.Fields()[0].Value().Text();
        long long rows = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rows);
        if (error == std::errc() && end == text.data() + text.size())
            return rows;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

bool TableRows::Next() {
    if (wire_) {
        if (!started_) {
            started_ = true;
            wire_->Start(statement_);
        }
        return wire_->Next();
    }
    if (started_)
        records_.MoveNext();
    started_ = true;
    return !records_.IsEOF();
}

adodb::SinkRead TableRows::NextInto(RowBatch& batch) {
    // The first row is read on opening; the libpq reader has its own rows.
    if (wire_ || !started_)
        return Next() ? adodb::SinkRead::kCurrent : adodb::SinkRead::kEnd;
    const adodb::SinkRead read = records_.NextInto(batch);
    if (read != adodb::SinkRead::kGiven)
        return read;
    // The few values the dialect reads differently are put right in the batch.
    const std::size_t row = batch.Rows() - 1;
    try {
        for (const std::size_t j : markedColumns_) {
            if (batch.IsNull(row, j))
                continue;
            const std::string_view text = batch.Text(row, j);
            const std::string_view exact = dialect_->ExactValue(text, scratch_);
            if (exact.data() != text.data() || exact.size() != text.size())
                batch.ReplaceLast(j, exact);
        }
    } catch (...) {
        batch.DropLastRow();  // never a row with a value not put right
        throw;
    }
    return read;
}

std::optional<std::string_view> TableRows::Value(std::size_t column) {
    if (wire_)
        return wire_->Value(column);
    value_ = records_.Fields()[static_cast<int>(column)].Value();
    if (value_.IsNull())
        return std::nullopt;
    return Exact(column, value_.Text());
}

std::optional<TableRows::RowView> TableRows::RowAsRead() {
    const std::size_t columns = fields_.size();
    if (wire_) {
        row_.resize(columns);
        for (std::size_t j = 0; j < columns; ++j) {
            const std::optional<std::string_view> value = wire_->Value(j);
            row_[j] = value ? adodb::Variant(*value) : adodb::Variant();
        }
        return RowView{wire_->RowBytes(), row_};
    }
    const std::span<const adodb::Variant> values = records_.Values();
    if (values.size() != columns)
        return std::nullopt;
    for (const std::size_t j : markedColumns_) {
        if (values[j].IsNull())
            continue;
        const std::string_view text = values[j].Text();
        const std::string_view read = *Exact(j, text);
        if (read.data() != text.data() || read.size() != text.size())
            return std::nullopt;
    }
    return RowView{records_.RowBytes(), values};
}

std::optional<TableRows::HeldRow> TableRows::TakeRow() {
    if (wire_) {
        std::shared_ptr<const char> row = wire_->TakeRow();
        if (!row)
            return std::nullopt;
        const std::string_view bytes = wire_->RowBytes();
        return HeldRow{std::move(row), bytes, true};
    }
    std::shared_ptr<const std::string> row = records_.TakeRow();
    if (!row)
        return std::nullopt;
    const std::string_view bytes = *row;
    return HeldRow{std::move(row), bytes, false};
}

void TableRows::Close() {
    if (wire_)
        wire_->Stop();
    else
        records_.Close();
}

}  // namespace korvanta
