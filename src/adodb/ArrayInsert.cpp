#include "adodb/ArrayInsert.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "adodb/Connection.h"
#include "adodb/ConnectionState.h"
#include "adodb/OdbcText.h"
#include "adodb/TextCodec.h"

namespace adodb {
namespace {

constexpr std::size_t kMaxArrayRows = 1024;
// The parameter buffers of one execution stay below this; a larger row goes alone.
constexpr std::size_t kMaxRunBytes = std::size_t{8} << 20;
// A value larger than this in a row that goes alone is handed over at execution, in
// pieces of kPieceBytes.
constexpr std::size_t kAtExecutionFrom = std::size_t{1} << 20;
constexpr std::size_t kPieceBytes = std::size_t{64} << 10;

// Cancels an execution left waiting for data, so that the statement takes the next one.
class NeedDataGuard {
  public:
    explicit NeedDataGuard(SQLHSTMT statement) : statement_(statement) {}
    ~NeedDataGuard() {
        if (statement_ != SQL_NULL_HSTMT)
            SQLCancel(statement_);
    }
    NeedDataGuard(const NeedDataGuard&) = delete;
    NeedDataGuard& operator=(const NeedDataGuard&) = delete;
    void Dismiss() noexcept { statement_ = SQL_NULL_HSTMT; }

  private:
    SQLHSTMT statement_;
};

SQLULEN AsAttribute(std::size_t value) {
    return static_cast<SQLULEN>(value);
}

// The bytes that the hex digits spell, written to `out`; their count. Digits that spell
// no byte are an error of the value, not of the driver.
std::size_t HexToBytes(std::string_view hex, unsigned char* out) {
    if (hex.size() % 2 != 0)
        throw Error("A binary value must be an even number of hexadecimal digits.", "22023");
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = detail::HexDigit(hex[i]), low = detail::HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            throw Error("A binary value holds a character that is no hexadecimal digit.", "22023");
        out[i / 2] = static_cast<unsigned char>(high * 16 + low);
    }
    return hex.size() / 2;
}

}  // namespace

ArrayInsert::ArrayInsert(Connection& connection, std::string_view sql, std::size_t columns)
    : state_(connection.state_),
      statement_(state_ ? state_->NewStatement(connection.CommandTimeout)
                        : throw Error(kObjectClosed)),
      columns_(columns),
      bound_(columns),
      longest_(columns),
      atExecution_(columns) {
    statement_.Check(detail::WithTextApi(statement_.api(), [&](auto text) {
        auto in = text.In(sql);
        return text.Prepare(statement_.get(), in.data(), static_cast<SQLINTEGER>(in.size() - 1));
    }));
    // A driver without arrays of parameters refuses the size or lowers it (01S02).
    const SQLRETURN sized =
        SQLSetStmtAttr(statement_.get(), SQL_ATTR_PARAMSET_SIZE,
                       reinterpret_cast<SQLPOINTER>(AsAttribute(kMaxArrayRows)), 0);
    if (SQL_SUCCEEDED(sized)) {
        SQLULEN accepted = 1;
        if (SQL_SUCCEEDED(
                SQLGetStmtAttr(statement_.get(), SQL_ATTR_PARAMSET_SIZE, &accepted, 0, nullptr))) {
            maxRows_ = std::clamp<std::size_t>(accepted, 1, kMaxArrayRows);
        }
    }
    status_.resize(maxRows_);
    if (maxRows_ > 1) {
        statement_.Check(
            SQLSetStmtAttr(statement_.get(), SQL_ATTR_PARAM_STATUS_PTR, status_.data(), 0));
        statement_.Check(
            SQLSetStmtAttr(statement_.get(), SQL_ATTR_PARAMS_PROCESSED_PTR, &processed_, 0));
    }
}

ArrayInsert::~ArrayInsert() = default;

// How many rows from `first` go into one execution: as many as the driver takes, while
// the buffers (every column as wide as its longest value in the run) stay in bounds.
std::size_t ArrayInsert::PlanRun(const TextRows& rows, std::size_t first, std::size_t last) {
    std::fill(longest_.begin(), longest_.end(), 0);
    const std::size_t unit =
        statement_.api() == detail::TextApi::kWide ? sizeof(SQLWCHAR) : sizeof(char);
    std::size_t count = 0;
    for (std::size_t r = first; r < last && count < maxRows_; ++r) {
        std::size_t rowWidth = 0;
        for (std::size_t c = 0; c < columns_; ++c) {
            const auto value = rows.Value(r, c);
            rowWidth += (std::max(longest_[c], value ? value->size() : 0) + 1) * unit;
        }
        if (count > 0 && rowWidth * (count + 1) > kMaxRunBytes)
            break;
        for (std::size_t c = 0; c < columns_; ++c) {
            if (const auto value = rows.Value(r, c))
                longest_[c] = std::max(longest_[c], value->size());
        }
        ++count;
    }
    return count;
}

void ArrayInsert::FillAndBind(const TextRows& rows, std::size_t first, std::size_t count) {
    const bool wide = statement_.api() == detail::TextApi::kWide;
    const SQLSMALLINT cType = wide ? SQL_C_WCHAR : SQL_C_CHAR;
    for (std::size_t c = 0; c < columns_; ++c) {
        if (Binary(c)) {
            BindBinary(rows, first, count, c);
            continue;
        }
        Column& column = bound_[c];
        const SQLSMALLINT sqlType = wide ? (longest_[c] > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR)
                                         : (longest_[c] > 8000 ? SQL_LONGVARCHAR : SQL_VARCHAR);
        column.indicator.resize(count);
        atExecution_[c] = count == 1 && longest_[c] > kAtExecutionFrom;
        if (atExecution_[c] && !wide && rows.Terminated(first, c)) {
            // Text that a NUL already ends, and that holds none, is bound where it is: a
            // driver that takes terminated text as it is (the SQLite driver) copies nothing.
            const auto value = rows.Value(first, c);
            if (std::memchr(value->data(), '\0', value->size()) == nullptr) {
                atExecution_[c] = false;
                column.indicator[0] = SQL_NTS;
                statement_.Check(SQLBindParameter(
                    statement_.get(), static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT, cType,
                    sqlType, std::max<SQLULEN>(longest_[c], 1), 0, const_cast<char*>(value->data()),
                    0, column.indicator.data()));
                continue;
            }
        }
        if (atExecution_[c]) {
            // The value is read from the rows at execution: nothing is copied now.
            const auto value = rows.Value(first, c);
            const std::size_t length =
                wide ? detail::Utf16Length(*value) * sizeof(SQLWCHAR) : value->size();
            column.indicator[0] = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(length));
            statement_.Check(SQLBindParameter(
                statement_.get(), static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT, cType, sqlType,
                std::max<SQLULEN>(longest_[c], 1), 0,
                reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(c + 1)), 0,
                column.indicator.data()));
            continue;
        }
        // A UTF-8 text never needs more UTF-16 units than it has bytes.
        column.width = (longest_[c] + 1) * (wide ? sizeof(SQLWCHAR) : sizeof(char));
        column.data.resize(column.width * count);
        for (std::size_t i = 0; i < count; ++i) {
            char* slot = column.data.data() + i * column.width;
            const auto value = rows.Value(first + i, c);
            if (!value) {
                column.indicator[i] = SQL_NULL_DATA;
                continue;
            }
            if (wide) {
                // Converted in place: the slot has room for a unit per byte.
                SQLWCHAR* units = reinterpret_cast<SQLWCHAR*>(slot);
                column.indicator[i] =
                    static_cast<SQLLEN>(detail::Utf8ToUtf16(*value, units) * sizeof(SQLWCHAR));
            } else {
                std::memcpy(slot, value->data(), value->size());
                slot[value->size()] = '\0';
                // Terminated text: the SQLite driver then binds it without a copy.
                column.indicator[i] = SQL_NTS;
            }
        }
        statement_.Check(SQLBindParameter(
            statement_.get(), static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT, cType, sqlType,
            std::max<SQLULEN>(longest_[c], 1), 0, column.data.data(),
            static_cast<SQLLEN>(column.width), column.indicator.data()));
    }
}

void ArrayInsert::OneRowAtATime() {
    if (maxRows_ == 1)
        return;
    statement_.Check(SQLSetStmtAttr(statement_.get(), SQL_ATTR_PARAMSET_SIZE,
                                    reinterpret_cast<SQLPOINTER>(AsAttribute(1)), 0));
    maxRows_ = 1;
}

// A binary column: half as many bytes as the values have digits, bound as bytes.
void ArrayInsert::BindBinary(const TextRows& rows, std::size_t first, std::size_t count,
                             std::size_t c) {
    Column& column = bound_[c];
    const std::size_t longest = longest_[c] / 2;
    column.indicator.resize(count);
    atExecution_[c] = count == 1 && longest_[c] > kAtExecutionFrom;
    if (atExecution_[c]) {
        const auto value = rows.Value(first, c);
        column.indicator[0] = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(value->size() / 2));
        statement_.Check(
            SQLBindParameter(statement_.get(), static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT,
                             SQL_C_BINARY, SQL_LONGVARBINARY, std::max<SQLULEN>(longest, 1), 0,
                             reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(c + 1)), 0,
                             column.indicator.data()));
        return;
    }
    column.width = std::max<std::size_t>(longest, 1);
    column.data.resize(column.width * count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto value = rows.Value(first + i, c);
        column.indicator[i] =
            value ? static_cast<SQLLEN>(HexToBytes(
                        *value,
                        reinterpret_cast<unsigned char*>(column.data.data() + i * column.width)))
                  : SQL_NULL_DATA;
    }
    statement_.Check(SQLBindParameter(
        statement_.get(), static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT, SQL_C_BINARY,
        longest > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY, std::max<SQLULEN>(longest, 1), 0,
        column.data.data(), static_cast<SQLLEN>(column.width), column.indicator.data()));
}

SQLRETURN ArrayInsert::Run(const TextRows& rows, std::size_t row) {
    SQLRETURN rc = SQLExecute(statement_.get());
    if (rc != SQL_NEED_DATA)
        return rc;
    NeedDataGuard guard(statement_.get());
    for (;;) {
        SQLPOINTER token = nullptr;
        rc = SQLParamData(statement_.get(), &token);
        if (rc != SQL_NEED_DATA)
            break;
        const auto column = static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(token));
        if (column < 1 || column > columns_ || !atExecution_[column - 1])
            throw Error("The ODBC driver asked for a value that was not bound for execution.");
        PutValue(*rows.Value(row, column - 1), Binary(column - 1));
    }
    guard.Dismiss();
    return rc;
}

void ArrayInsert::PutValue(std::string_view value, bool binary) {
    if (binary) {
        // Hex digits in pieces of whole bytes.
        bytes_.resize(kPieceBytes / 2 + 1);
        do {
            const std::size_t piece = std::min(value.size(), kPieceBytes);
            const std::size_t count = HexToBytes(value.substr(0, piece), bytes_.data());
            statement_.Check(
                SQLPutData(statement_.get(), bytes_.data(), static_cast<SQLLEN>(count)));
            value.remove_prefix(piece);
        } while (!value.empty());
        return;
    }
    const bool wide = statement_.api() == detail::TextApi::kWide;
    if (value.empty()) {
        statement_.Check(SQLPutData(
            statement_.get(),
            wide ? static_cast<SQLPOINTER>(wide_.data()) : const_cast<char*>(value.data()), 0));
        return;
    }
    if (wide && wide_.size() < kPieceBytes + 1)
        wide_.resize(kPieceBytes + 1);
    while (!value.empty()) {
        if (wide) {
            const std::size_t piece = detail::Utf8Piece(value, kPieceBytes);
            const std::size_t units = detail::Utf8ToUtf16(value.substr(0, piece), wide_.data());
            statement_.Check(SQLPutData(statement_.get(), wide_.data(),
                                        static_cast<SQLLEN>(units * sizeof(SQLWCHAR))));
            value.remove_prefix(piece);
        } else {
            const std::size_t piece = std::min(value.size(), kPieceBytes);
            statement_.Check(SQLPutData(statement_.get(), const_cast<char*>(value.data()),
                                        static_cast<SQLLEN>(piece)));
            value.remove_prefix(piece);
        }
    }
}

void ArrayInsert::ReleaseLargeBuffers() noexcept {
    bool released = false;
    for (Column& column : bound_) {
        if (column.data.capacity() > kMaxRunBytes) {
            std::vector<char>().swap(column.data);
            released = true;
        }
    }
    if (released)
        SQLFreeStmt(statement_.get(), SQL_RESET_PARAMS);
}

ArrayInsert::Result ArrayInsert::Execute(const TextRows& rows, std::size_t first,
                                         std::size_t last) {
    Result result;
    std::size_t next = first;
    while (next < last) {
        const std::size_t count = PlanRun(rows, next, last);
        try {
            FillAndBind(rows, next, count);
        } catch (...) {
            // No binding is left pointing at a buffer that is gone or half filled.
            SQLFreeStmt(statement_.get(), SQL_RESET_PARAMS);
            ReleaseLargeBuffers();
            throw;
        }
        if (maxRows_ > 1) {
            statement_.Check(SQLSetStmtAttr(statement_.get(), SQL_ATTR_PARAMSET_SIZE,
                                            reinterpret_cast<SQLPOINTER>(AsAttribute(count)), 0));
            std::fill(status_.begin(), status_.end(), static_cast<SQLUSMALLINT>(SQL_PARAM_UNUSED));
            processed_ = 0;
        }
        try {
            const SQLRETURN rc = Run(rows, next);
            if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_NO_DATA)
                statement_.Check(rc);
        } catch (const Error& e) {
            result.error = e;
        } catch (...) {
            ReleaseLargeBuffers();
            throw;
        }
        // After the diagnostics are read: freeing the bindings clears them.
        ReleaseLargeBuffers();
        if (!result.error) {
            next += count;
            continue;
        }
        if (count == 1) {
            result.failedRow = next;
        } else {
            const auto failed = std::find(status_.begin(), status_.begin() + count,
                                          static_cast<SQLUSMALLINT>(SQL_PARAM_ERROR));
            if (failed != status_.begin() + count) {
                result.failedRow = next + static_cast<std::size_t>(failed - status_.begin());
            } else if (processed_ < count) {
                // Drivers that leave the statuses alone count the rows done before it.
                result.failedRow = next + processed_;
            }
        }
        return result;
    }
    return result;
}

}  // namespace adodb
