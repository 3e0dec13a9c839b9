#include "engine/rows/TableRows.h"

#include <charconv>
#include <map>

#include "adodb/TextCodec.h"
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
        fields.push_back({list[j].Name(), list[j].Type(), list[j].NativeTypeName(), {}});
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
    // The condition between parentheses: whatever it holds stays inside this statement.
    where_ = where.empty() ? std::string() : " WHERE (" + where + ")";
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
    Declared(connection, table);
    connection_ = &connection;
    std::string exact = verifying_ ? dialect_->VerifyRowsQuery(from_, fields_, marks_)
                                   : dialect_->ExactRowsQuery(from_, fields_, marks_);
    if (!exact.empty())
        exact += where_ + order;
    if (wire != nullptr) {
        records_.Close();
        if (!exact.empty())
            statement_ = exact;
        // The server writes these as the exact query asks: nothing to undo.
        marks_.clear();
        wire_ = std::make_unique<PostgresRows>(*wire, fields_);
        // The statement is planned now, so that one the server refuses (a condition naming
        // no column) fails here, before a caller drops or empties anything for its rows.
        wire_->Plan(statement_);
        return;
    }
    Marked();
    if (exact.empty())
        return;
    records_.Close();
    statement_ = exact;
    records_.Open(statement_, connection);
}

// What the dialect reads of each column's values, and what each column's target takes
// until told (a binary column bytes, any other text).
void TableRows::Marked() {
    forms_.clear();
    for (const SourceField& field : fields_) {
        const bool binary = field.type == adodb::adBinary || field.type == adodb::adVarBinary ||
                            field.type == adodb::adLongVarBinary;
        forms_.push_back(binary ? ValueForm::kBytes : ValueForm::kText);
    }
    kinds_.assign(fields_.size(), StoredKinds{});
    leads_.fill(false);
    for (const char c : dialect_->MarkLeads())
        leads_[static_cast<unsigned char>(c)] = true;
    markedColumns_.clear();
    inside_.assign(fields_.size(), {0, 0});
    for (std::size_t j = 0; j < marks_.size() && j < fields_.size(); ++j) {
        if (marks_[j] == 0)
            continue;
        markedColumns_.push_back(j);
        const std::string_view bytes = dialect_->MarkInside(marks_[j]);
        if (!bytes.empty())
            inside_[j] = {static_cast<unsigned char>(bytes.front()),
                          static_cast<unsigned char>(bytes.back())};
    }
    Formed();
}

// The columns' declared types, where the driver reports others. A source that cannot say
// them is read by what its driver reports.
void TableRows::Declared(adodb::Connection& connection, const std::string& table) {
    const std::string query = dialect_->DeclaredTypesQuery(table);
    if (query.empty())
        return;
    std::map<std::string, std::string, std::less<>> declared;
    try {
        adodb::Recordset answer = connection.Execute(query);
        for (; !answer.IsEOF(); answer.MoveNext()) {
            const adodb::Variant type = answer.Fields()[1].Value();
            declared.emplace(answer.Fields()[0].Value().Text(),
                             type.IsNull() ? std::string() : std::string(type.Text()));
        }
        answer.Close();
    } catch (const std::exception&) {
        return;
    }
    for (SourceField& field : fields_) {
        if (const auto type = declared.find(field.name); type != declared.end())
            field.declared = type->second;
    }
}

void TableRows::OpenToVerify(adodb::Connection& connection, std::shared_ptr<const Dialect> dialect,
                             const std::string& table, const std::string& where,
                             const std::vector<std::string>& orderBy) {
    verifying_ = true;
    Open(connection, std::move(dialect), table, nullptr, where, {}, orderBy);
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
            const std::optional<std::string_view> value = batch.Value(row, j);
            if (!value)
                continue;
            const std::string_view text = *value;
            const std::string_view exact = Exact(j, text);
            if (exact.data() != text.data() || exact.size() != text.size())
                batch.ReplaceLast(j, exact);
        }
    } catch (const UnreadableValue& e) {
        // The row is refused in its place among the rows, with what it holds: it was read.
        std::vector<std::optional<std::string>> values = ShownValues(batch, row);
        batch.DropLastRow();
        batch.failures.push_back(
            {batch.Rows(), ReadFailure::Step::kReadField, e, std::move(values)});
    } catch (...) {
        batch.DropLastRow();  // never a row with a value not put right
        throw;
    }
    return read;
}

std::vector<std::optional<std::string>> TableRows::ShownValues(const RowBatch& batch,
                                                               std::size_t row) {
    std::vector<std::optional<std::string>> values;
    for (std::size_t j = 0; j < batch.Columns(); ++j) {
        if (batch.IsNull(row, j))
            values.emplace_back();
        else
            values.emplace_back(Shown(j, batch.Text(row, j)));
    }
    return values;
}

std::vector<std::optional<std::string>> TableRows::ShownRow() {
    std::vector<std::optional<std::string>> values;
    for (std::size_t j = 0; j < fields_.size(); ++j) {
        std::optional<std::string_view> value;
        if (wire_)
            value = wire_->Value(j);
        else if (value_ = records_.Fields()[static_cast<int>(j)].Value(); !value_.IsNull())
            value = Shown(j, value_.Text());
        values.push_back(value ? std::optional<std::string>(*value) : std::nullopt);
    }
    return values;
}

std::string_view TableRows::Shown(std::size_t column, std::string_view text) {
    if (column >= marks_.size() || marks_[column] == 0)
        return text;
    const Dialect::ExactRead read = dialect_->ExactValue(text, marks_[column], scratch_);
    return read.doubtful ? text : read.text;
}

std::string_view TableRows::ReadExactly(std::size_t column, std::string_view text) {
    if (column >= marks_.size() || marks_[column] == 0)
        return text;
    const ValueForm form = forms_[column];
    const Dialect::ExactRead read = dialect_->ExactValue(text, marks_[column], scratch_);
    if (read.doubtful && !Doubtless(column, read, text))
        return text;  // a text, as it reads
    if (read.bytes) {
        if (form == ValueForm::kText)
            throw UnreadableValue(
                "The value of column " + QuotedName(fields_[column].name) + " holds bytes (X'" +
                    std::string(read.text.substr(0, 64)) +
                    (read.text.size() > 64
                         ? "...', " + std::to_string(read.text.size() / 2) + " bytes"
                         : "'") +
                    ") where its column holds text: the source keeps each value's own kind, "
                    "and a text column takes no bytes.",
                "42804");
        // Hex digits in small letters, as every other reader of bytes gives them.
        hex_.assign(read.text);
        for (char& c : hex_)
            c = c >= 'A' && c <= 'F' ? static_cast<char>(c + ('a' - 'A')) : c;
        return hex_;
    }
    if (form != ValueForm::kBytes)
        return read.text;
    // A text (or a number) where bytes go: its bytes.
    hex_.clear();
    adodb::detail::AppendHex(hex_, reinterpret_cast<const unsigned char*>(read.text.data()),
                             read.text.size());
    return hex_;
}

// Whether a value that reads as something else would is that something: the database is
// asked once per column which kinds of value it holds, on the connection of the read and
// so in its snapshot. False: the value is a text. Raises UnreadableValue where the column
// holds both, or a double the driver gave to 15 digits only.
bool TableRows::Doubtless(std::size_t column, const Dialect::ExactRead& read,
                          std::string_view text) {
    StoredKinds& kinds = kinds_[column];
    if (!kinds.asked) {
        adodb::Recordset answer =
            connection_->Execute(dialect_->StoredKindQuery(from_, fields_[column].name));
        const auto yes = [&](int j) {
            return !answer.IsEOF() && answer.Fields().Count() > j &&
                   answer.Fields()[j].Value().Text() == "1";
        };
        kinds = {true, yes(0), yes(1), yes(2)};
        answer.Close();
    }
    const std::string name = QuotedName(fields_[column].name);
    if (read.bytes) {
        if (kinds.bytes && kinds.bytesLikeTexts)
            throw UnreadableValue("The value " + std::string(text) + " of column " + name +
                                      " may be bytes or a text: the column holds both, and the "
                                      "source's driver gives them alike.",
                                  "42804");
        return kinds.bytes;
    }
    if (!kinds.doubles)
        return false;
    throw UnreadableValue("The value " + std::string(text) + " of column " + name +
                              " may be a floating-point number, which the source's driver gives "
                              "to 15 digits only in a column of its declared type: declared "
                              "REAL, DOUBLE, NUMERIC or DECIMAL it would go with every digit.",
                          "42804");
}

void TableRows::Into(const std::vector<ValueRule>& rules) {
    for (std::size_t j = 0; j < rules.size() && j < forms_.size(); ++j)
        forms_[j] = FormOf(rules[j]);
    Formed();
}

void TableRows::Formed() {
    everyValue_.assign(fields_.size(), 0);
    for (std::size_t j = 0; j < fields_.size(); ++j) {
        const bool marked = j < marks_.size() && marks_[j] != 0;
        everyValue_[j] = marked && forms_[j] == ValueForm::kBytes ? 1 : 0;
    }
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
        const std::string_view read = Exact(j, text);
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
