#include "adodb/ArrayInsert.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstring>

#include "adodb/Connection.h"
#include "adodb/ConnectionState.h"
#include "adodb/TextCodec.h"

namespace adodb {
namespace {

constexpr std::size_t kMaxArrayRows = 1024;
// The parameter buffers of one execution stay below this; a larger row goes alone.
constexpr std::size_t kMaxRunBytes = std::size_t{8} << 20;

SQLULEN AsAttribute(std::size_t value) {
    return static_cast<SQLULEN>(value);
}

}  // namespace

ArrayInsert::ArrayInsert(Connection& connection, std::string_view sql, std::size_t columns)
    : state_(connection.state_),
      statement_(state_ ? state_->NewStatement(connection.CommandTimeout)
                        : throw Error(kObjectClosed)),
      columns_(columns),
      bound_(columns),
      longest_(columns) {
    SQLRETURN rc;
    if (statement_.api() == detail::TextApi::kWide) {
        std::vector<SQLWCHAR> text;
        detail::Utf8ToUtf16(sql, text);
        rc = SQLPrepareW(statement_.get(), text.data(), static_cast<SQLINTEGER>(text.size() - 1));
    } else {
        std::string text(sql);
        rc = SQLPrepare(statement_.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                        static_cast<SQLINTEGER>(text.size()));
    }
    statement_.Check(rc);
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
    for (std::size_t c = 0; c < columns_; ++c) {
        Column& column = bound_[c];
        // A UTF-8 text never needs more UTF-16 units than it has bytes.
        column.width = (longest_[c] + 1) * (wide ? sizeof(SQLWCHAR) : sizeof(char));
        column.data.resize(column.width * count);
        column.indicator.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            char* slot = column.data.data() + i * column.width;
            const auto value = rows.Value(first + i, c);
            if (!value) {
                column.indicator[i] = SQL_NULL_DATA;
                continue;
            }
            if (wide) {
                detail::Utf8ToUtf16(*value, wide_);
                std::memcpy(slot, wide_.data(), wide_.size() * sizeof(SQLWCHAR));
                column.indicator[i] = static_cast<SQLLEN>((wide_.size() - 1) * sizeof(SQLWCHAR));
            } else {
                std::memcpy(slot, value->data(), value->size());
                slot[value->size()] = '\0';
                // Terminated text: the SQLite driver then binds it without a copy.
                column.indicator[i] = SQL_NTS;
            }
        }
        const SQLSMALLINT cType = wide ? SQL_C_WCHAR : SQL_C_CHAR;
        const SQLSMALLINT sqlType = wide ? (longest_[c] > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR)
                                         : (longest_[c] > 8000 ? SQL_LONGVARCHAR : SQL_VARCHAR);
        statement_.Check(SQLBindParameter(
            statement_.get(), static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT, cType, sqlType,
            std::max<SQLULEN>(longest_[c], 1), 0, column.data.data(),
            static_cast<SQLLEN>(column.width), column.indicator.data()));
    }
}

ArrayInsert::Result ArrayInsert::Execute(const TextRows& rows, std::size_t first,
                                         std::size_t last) {
    Result result;
    std::size_t next = first;
    while (next < last) {
        const std::size_t count = PlanRun(rows, next, last);
        FillAndBind(rows, next, count);
        if (maxRows_ > 1) {
            statement_.Check(SQLSetStmtAttr(statement_.get(), SQL_ATTR_PARAMSET_SIZE,
                                            reinterpret_cast<SQLPOINTER>(AsAttribute(count)), 0));
            std::fill(status_.begin(), status_.end(), static_cast<SQLUSMALLINT>(SQL_PARAM_UNUSED));
            processed_ = 0;
        }
        const SQLRETURN rc = SQLExecute(statement_.get());
        if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA) {
            next += count;
            continue;
        }
        try {
            statement_.Check(rc);
        } catch (const Error& e) {
            result.error = e;
        }
        if (!result.error)
            result.error = Error("The INSERT failed without a description.");
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
