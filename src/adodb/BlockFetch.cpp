#include "adodb/BlockFetch.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstring>

#include "adodb/TextCodec.h"

namespace adodb::detail {
namespace {

constexpr SQLULEN kMaxRowsPerBlock = 256;
// The bound buffers of one block stay below this, whatever the number of columns.
constexpr std::size_t kMaxBlockBytes = std::size_t{4} << 20;
// Characters bound per value at most; longer values are read again whole.
constexpr std::size_t kMaxBoundCharacters = 256;
// Room for what a column's size does not count: sign, point, exponent, fraction.
constexpr std::size_t kSlack = 8;

bool DriverReadsInsideBlocks(const StatementHandle& statement) {
    SQLUINTEGER extensions = 0;
    const SQLRETURN rc = SQLGetInfo(statement.connectionHandle(), SQL_GETDATA_EXTENSIONS,
                                    &extensions, sizeof extensions, nullptr);
    return SQL_SUCCEEDED(rc) && (extensions & SQL_GD_BLOCK) && (extensions & SQL_GD_BOUND);
}

bool DriverReadsBoundColumns(const StatementHandle& statement) {
    SQLUINTEGER extensions = 0;
    const SQLRETURN rc = SQLGetInfo(statement.connectionHandle(), SQL_GETDATA_EXTENSIONS,
                                    &extensions, sizeof extensions, nullptr);
    return SQL_SUCCEEDED(rc) && (extensions & SQL_GD_BOUND);
}

// Undoes the bindings and row attributes so that the statement handle goes on fetching
// one row at a time into nothing bound.
void ResetBindings(const StatementHandle& statement) noexcept {
    SQLFreeStmt(statement.get(), SQL_UNBIND);
    SQLSetStmtAttr(statement.get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLSetStmtAttr(statement.get(), SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttr(statement.get(), SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
}

// Numbers come as ASCII digits: they need no conversion through UTF-16.
bool IsNumber(int sqlType) {
    switch (sqlType) {
        case SQL_BIT:
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
        case SQL_NUMERIC:
        case SQL_DECIMAL:
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return true;
        default:
            return false;
    }
}

// Whether the driver had more of the value than the bound width holds.
bool Truncated(SQLSMALLINT cType, std::size_t width, SQLLEN indicator) {
    if (indicator == SQL_NULL_DATA || cType == SQL_C_DOUBLE || cType == SQL_C_FLOAT)
        return false;
    const std::size_t terminator = cType == SQL_C_WCHAR  ? sizeof(SQLWCHAR)
                                   : cType == SQL_C_CHAR ? 1
                                                         : 0;
    return indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > width - terminator;
}

}  // namespace

std::unique_ptr<BlockFetcher> BlockFetcher::Start(const StatementHandle& statement,
                                                  ColumnReader& reader) {
    const std::vector<Column>& columns = reader.columns();
    // A truncated value is read again through SQLGetData on its bound column.
    if (columns.empty() || !DriverReadsBoundColumns(statement))
        return nullptr;
    const bool wide = statement.api() == TextApi::kWide;
    std::vector<Bound> bound;
    bound.reserve(columns.size());
    std::size_t rowBytes = 0;
    for (const Column& column : columns) {
        const std::size_t size = column.size > 0 ? column.size : kMaxBoundCharacters;
        const std::size_t units = std::min(size, kMaxBoundCharacters) + kSlack;
        Bound b{};
        if (column.fetchAs == FetchAs::kBinary) {
            b.cType = SQL_C_BINARY;
            b.width = units;
        } else if (column.fetchAs == FetchAs::kDouble) {
            b.cType = SQL_C_DOUBLE;
            b.width = sizeof(double);
        } else if (column.fetchAs == FetchAs::kFloat) {
            b.cType = SQL_C_FLOAT;
            b.width = sizeof(float);
        } else if (wide && !IsNumber(column.sqlType)) {
            b.cType = SQL_C_WCHAR;
            b.width = (units + 1) * sizeof(SQLWCHAR);
        } else {
            b.cType = SQL_C_CHAR;
            b.width = 2 * units + 1;  // UTF-8 takes more than a byte beyond ASCII
        }
        rowBytes += b.width + sizeof(SQLLEN);
        bound.push_back(std::move(b));
    }
    const SQLULEN rows = DriverReadsInsideBlocks(statement)
                             ? std::clamp<SQLULEN>(kMaxBlockBytes / rowBytes, 1, kMaxRowsPerBlock)
                             : 1;
    for (Bound& b : bound) {
        b.data = std::make_unique_for_overwrite<char[]>(b.width * rows);
        b.indicator = std::make_unique_for_overwrite<SQLLEN[]>(rows);
    }
    std::unique_ptr<BlockFetcher> fetcher(
        new BlockFetcher(statement, reader, std::move(bound), rows));
    fetcher->Bind();
    return fetcher;
}

BlockFetcher::BlockFetcher(const StatementHandle& statement, ColumnReader& reader,
                           std::vector<Bound> bound, SQLULEN rowsPerBlock)
    : statement_(statement),
      reader_(reader),
      bound_(std::move(bound)),
      rowsPerBlock_(rowsPerBlock),
      status_(rowsPerBlock) {}

BlockFetcher::~BlockFetcher() {
    ResetBindings(statement_);
}

void BlockFetcher::Bind() {
    const SQLHSTMT h = statement_.get();
    statement_.Check(SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE,
                                    reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0));
    statement_.Check(
        SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowsPerBlock_), 0));
    statement_.Check(SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0));
    statement_.Check(SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, status_.data(), 0));
    for (std::size_t i = 0; i < bound_.size(); ++i) {
        Bound& b = bound_[i];
        statement_.Check(SQLBindCol(h, static_cast<SQLUSMALLINT>(i + 1), b.cType, b.data.get(),
                                    static_cast<SQLLEN>(b.width), b.indicator.get()));
    }
}

bool BlockFetcher::FetchBlock() {
    fetched_ = 0;
    next_ = 0;
    if (statement_.Check(SQLFetch(statement_.get())) == SQL_NO_DATA || fetched_ == 0) {
        finished_ = true;
        return false;
    }
    return true;
}

bool BlockFetcher::Advance() {
    if (finished_)
        return false;
    if (next_ >= fetched_ && !FetchBlock())
        return false;
    if (status_[next_++] == SQL_ROW_ERROR)
        statement_.Check(SQL_ERROR);  // reports the row's diagnostics
    return true;
}

bool BlockFetcher::Next(RowEncoder& row) {
    // Drivers write numbers with the C locale's decimal point only.
    ThreadLocale cLocale(reader_.cLocale());
    if (!Advance())
        return false;
    EncodeRow(next_ - 1, row);
    return true;
}

SinkRead BlockFetcher::NextInto(RowSink& sink, RowEncoder& row) {
    ThreadLocale cLocale(reader_.cLocale());
    if (!Advance())
        return SinkRead::kEnd;
    const SQLULEN r = next_ - 1;
    if (AnyLong(r)) {
        EncodeRow(r, row);
        return SinkRead::kCurrent;
    }
    for (std::size_t i = 0; i < bound_.size(); ++i) {
        if (const std::optional<std::string_view> value = BoundText(r, i))
            sink.AddText(*value);
        else
            sink.AddNull();
    }
    sink.EndRow();
    return SinkRead::kGiven;
}

bool BlockFetcher::AnyLong(SQLULEN r) const {
    for (const Bound& b : bound_) {
        if (Truncated(b.cType, b.width, b.indicator[r]))
            return true;
    }
    return false;
}

std::optional<std::string_view> BlockFetcher::BoundText(SQLULEN r, std::size_t i) {
    const Bound& b = bound_[i];
    const SQLLEN indicator = b.indicator[r];
    if (indicator == SQL_NULL_DATA)
        return std::nullopt;
    const char* value = b.data.get() + r * b.width;
    const auto length = static_cast<std::size_t>(indicator);
    switch (b.cType) {
        case SQL_C_CHAR:
            return std::string_view(value, length);
        case SQL_C_DOUBLE: {
            double number = 0;
            std::memcpy(&number, value, sizeof number);
            text_.clear();
            AppendDouble(text_, number);
            return text_;
        }
        case SQL_C_FLOAT: {
            float number = 0;
            std::memcpy(&number, value, sizeof number);
            text_.clear();
            AppendFloat(text_, number);
            return text_;
        }
        case SQL_C_WCHAR:
            text_.clear();
            AppendUtf8(text_, reinterpret_cast<const SQLWCHAR*>(value), length / sizeof(SQLWCHAR));
            return text_;
        default:
            text_.clear();
            AppendHex(text_, reinterpret_cast<const unsigned char*>(value), length);
            return text_;
    }
}

void BlockFetcher::EncodeRow(SQLULEN r, RowEncoder& row) {
    row.Clear();
    bool positioned = rowsPerBlock_ == 1;
    for (std::size_t i = 0; i < bound_.size(); ++i) {
        const Bound& b = bound_[i];
        if (Truncated(b.cType, b.width, b.indicator[r])) {
            // Longer than the bound width: read it whole.
            if (!positioned) {
                statement_.Check(SQLSetPos(statement_.get(), static_cast<SQLSETPOSIROW>(r + 1),
                                           SQL_POSITION, SQL_LOCK_NO_CHANGE));
                positioned = true;
            }
            reader_.ReadColumn(statement_, i, row);
            continue;
        }
        if (const std::optional<std::string_view> value = BoundText(r, i))
            row.Add(*value);
        else
            row.AddNull();
    }
}

}  // namespace adodb::detail
