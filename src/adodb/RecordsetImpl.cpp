#include "adodb/RecordsetImpl.h"

#include "adodb/Error.h"

#include <new>

namespace adodb {
namespace {

// Closes a statement's cursor however the fetching ends.
class CursorCloser {
  public:
    explicit CursorCloser(detail::StatementHandle& statement) : statement_(&statement) {}
    ~CursorCloser() {
        if (statement_ == nullptr)
            return;
        try {
            statement_->CloseCursor();
        } catch (...) {
            // The fetch error (if any) is the one worth reporting.
        }
    }
    CursorCloser(const CursorCloser&) = delete;
    CursorCloser& operator=(const CursorCloser&) = delete;
    void Dismiss() noexcept { statement_ = nullptr; }

  private:
    detail::StatementHandle* statement_;  // not owning
};

}  // namespace

RecordsetImpl::RecordsetImpl(const std::vector<detail::Column>& columns,
                             std::unique_ptr<detail::RowSource> rows)
    : rows_(std::move(rows)), current_(columns.size()) {
    fields_.fields_.reserve(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        fields_.fields_.push_back(Field(*this, static_cast<int>(i), columns[i].name,
                                        columns[i].adoType, columns[i].typeName));
    }
    Advance();
}

std::unique_ptr<RecordsetImpl> RecordsetImpl::FromResult(
    const std::shared_ptr<ConnectionState>& connection, detail::StatementHandle& statement,
    bool clientSide, bool floatsAsNumbers) {
    // No cursor to close after a statement without rows; the handle is ready for the next
    // one (a per-row INSERT loop costs no more than SQLExecDirect itself).
    if (statement.ResultColumnCount() == 0)
        return nullptr;
    if (!clientSide) {
        CursorCloser closer(statement);
        detail::ColumnReader reader(statement, floatsAsNumbers);
        closer.Dismiss();
        std::vector<detail::Column> columns = reader.columns();
        auto rows = detail::StreamRows(connection, connection->TakeStatement(), std::move(reader));
        return std::make_unique<RecordsetImpl>(columns, std::move(rows));
    }
    CursorCloser closer(statement);
    detail::ColumnReader reader(statement, floatsAsNumbers);
    auto rows = detail::FetchAllRows(statement, reader);
    return std::make_unique<RecordsetImpl>(reader.columns(), std::move(rows));
}

void RecordsetImpl::RequireOpen() const {
    if (!IsOpen())
        throw Error(kObjectClosed);
}

void RecordsetImpl::Advance() {
    eof_ = true;  // stays so if fetching fails
    unreadable_ = given_ = false;
    currentBytes_ = {};
    const char* row = nullptr;
    try {
        row = rows_->Next();
    } catch (const std::bad_alloc&) {
        // The source has moved onto the row, but its values did not fit in memory: the row
        // stands, with fields that cannot be read, and the rows after it can still be read.
        eof_ = false;
        unreadable_ = true;
        return;
    }
    Enter(row);
}

void RecordsetImpl::Enter(const char* row) {
    if (row == nullptr)
        return;
    currentBytes_ =
        std::string_view(row, static_cast<std::size_t>(detail::DecodeRow(row, current_) - row));
    eof_ = false;
}

SinkRead RecordsetImpl::NextInto(RowSink& sink) {
    RequireOpen();
    if (eof_)
        throw Error(kNoCurrentRecord);
    eof_ = true;  // stays so if fetching fails
    unreadable_ = given_ = false;
    currentBytes_ = {};
    const char* row = nullptr;
    SinkRead read;
    try {
        read = rows_->NextInto(sink, row);
    } catch (const std::bad_alloc&) {
        // As in Advance(): the row stands, unreadable (the sink drops what it was given of
        // it when the caller reads the row as the current one).
        eof_ = false;
        unreadable_ = true;
        return SinkRead::kCurrent;
    }
    if (read == SinkRead::kGiven) {
        eof_ = false;
        given_ = true;
    } else {
        Enter(row);
    }
    return read;
}

long long RecordsetImpl::RecordCount() const {
    RequireOpen();
    return rows_->Count();
}

bool RecordsetImpl::IsEOF() const {
    RequireOpen();
    return eof_;
}

void RecordsetImpl::MoveNext() {
    RequireOpen();
    if (eof_)
        throw Error(kNoCurrentRecord);
    Advance();
}

const FieldList& RecordsetImpl::Fields() const {
    RequireOpen();
    return fields_;
}

Variant RecordsetImpl::Value(int index) const {
    return Values()[static_cast<std::size_t>(index)];
}

std::span<const Variant> RecordsetImpl::Values() const {
    RequireOpen();
    if (eof_)
        throw Error(kNoCurrentRecord);
    if (unreadable_)
        throw std::bad_alloc();
    if (given_)
        throw Error(kNoCurrentRecord);
    return current_;
}

std::shared_ptr<const std::string> RecordsetImpl::TakeRow() {
    RequireOpen();
    if (eof_ || unreadable_ || given_)
        return nullptr;
    return rows_->TakeRow();
}

void RecordsetImpl::Close() {
    RequireOpen();
    rows_.reset();
    eof_ = true;
    currentBytes_ = {};
}

}  // namespace adodb
