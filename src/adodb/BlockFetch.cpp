#include "adodb/BlockFetch.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <memory>
#include <optional>
#include <vector>

#include "adodb/TextCodec.h"
#include "adodb/ValueFormat.h"

namespace adodb::detail {
namespace {

constexpr SQLULEN kRowsPerBlock = 256;
// Character columns up to this many characters are bound; longer ones are read value by
// value so that a block never holds megabytes.
constexpr std::size_t kMaxBoundCharacters = 256;

struct Binding {
    SQLSMALLINT cType;
    std::size_t width;  // bytes per row
};

std::optional<Binding> BindingFor(const Column& column) {
    switch (column.fetchAs) {
        case FetchAs::kText:
            switch (column.sqlType) {
                case SQL_CHAR:
                case SQL_VARCHAR:
                case SQL_WCHAR:
                case SQL_WVARCHAR:
                    // A character may take two UTF-16 code units; one more for the zero.
                    if (column.size > 0 && column.size <= kMaxBoundCharacters)
                        return Binding{SQL_C_WCHAR, (2 * column.size + 1) * sizeof(SQLWCHAR)};
                    return std::nullopt;
                default:
                    return std::nullopt;
            }
        case FetchAs::kCharForm:
            switch (column.sqlType) {
                case SQL_BIT:
                case SQL_TINYINT:
                case SQL_SMALLINT:
                case SQL_INTEGER:
                case SQL_BIGINT:
                    return Binding{SQL_C_CHAR, 32};
                case SQL_NUMERIC:
                case SQL_DECIMAL:
                    // Digits plus sign, point, a leading zero and the terminator.
                    if (column.size > 0 && column.size <= kMaxBoundCharacters)
                        return Binding{SQL_C_CHAR, column.size + 4};
                    return std::nullopt;
                default:
                    return std::nullopt;
            }
        case FetchAs::kFloat:
            return Binding{SQL_C_FLOAT, sizeof(SQLREAL)};
        case FetchAs::kDouble:
            return Binding{SQL_C_DOUBLE, sizeof(SQLDOUBLE)};
        case FetchAs::kDate:
            return Binding{SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT)};
        case FetchAs::kTime:
            return Binding{SQL_C_TYPE_TIME, sizeof(SQL_TIME_STRUCT)};
        case FetchAs::kTimestamp:
            return Binding{SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT)};
        case FetchAs::kBinary:
            return std::nullopt;
    }
    return std::nullopt;
}

struct BoundColumn {
    Binding binding;
    std::unique_ptr<char[]> data;         // kRowsPerBlock values of binding.width bytes
    std::unique_ptr<SQLLEN[]> indicator;  // one per row
};

// Undoes the bindings and row attributes so that the reused statement handle goes on
// fetching one row at a time into nothing bound.
class BindingReset {
  public:
    explicit BindingReset(const StatementHandle& statement) : statement_(statement) {}
    ~BindingReset() {
        SQLFreeStmt(statement_.get(), SQL_UNBIND);
        SQLSetStmtAttr(statement_.get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1),
                       0);
        SQLSetStmtAttr(statement_.get(), SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
        SQLSetStmtAttr(statement_.get(), SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
    }
    BindingReset(const BindingReset&) = delete;
    BindingReset& operator=(const BindingReset&) = delete;

  private:
    const StatementHandle& statement_;
};

}  // namespace

bool FetchAllRowsInBlocks(const StatementHandle& statement, ColumnReader& reader, RowStore& store) {
    if (statement.api() != TextApi::kWide)
        return false;
    const std::vector<Column>& columns = reader.columns();
    if (columns.empty())
        return false;
    std::vector<BoundColumn> bound;
    bound.reserve(columns.size());
    for (const Column& column : columns) {
        const std::optional<Binding> binding = BindingFor(column);
        if (!binding)
            return false;
        bound.push_back({*binding,
                         std::make_unique_for_overwrite<char[]>(binding->width * kRowsPerBlock),
                         std::make_unique_for_overwrite<SQLLEN[]>(kRowsPerBlock)});
    }

    BindingReset reset(statement);
    SQLULEN fetched = 0;
    std::vector<SQLUSMALLINT> status(kRowsPerBlock);
    statement.Check(SQLSetStmtAttr(statement.get(), SQL_ATTR_ROW_BIND_TYPE,
                                   reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0));
    statement.Check(SQLSetStmtAttr(statement.get(), SQL_ATTR_ROW_ARRAY_SIZE,
                                   reinterpret_cast<SQLPOINTER>(kRowsPerBlock), 0));
    statement.Check(SQLSetStmtAttr(statement.get(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0));
    statement.Check(SQLSetStmtAttr(statement.get(), SQL_ATTR_ROW_STATUS_PTR, status.data(), 0));
    for (std::size_t i = 0; i < bound.size(); ++i) {
        BoundColumn& b = bound[i];
        statement.Check(SQLBindCol(statement.get(), static_cast<SQLUSMALLINT>(i + 1),
                                   b.binding.cType, b.data.get(),
                                   static_cast<SQLLEN>(b.binding.width), b.indicator.get()));
    }

    // Drivers write numbers with the C locale's decimal point only.
    ThreadLocale cLocale(reader.cLocale());
    RowEncoder row;
    std::string text;
    for (;;) {
        fetched = 0;
        if (statement.Check(SQLFetch(statement.get())) == SQL_NO_DATA)
            break;
        for (SQLULEN r = 0; r < fetched; ++r) {
            if (status[r] == SQL_ROW_ERROR)
                statement.Check(SQL_ERROR);  // reports the row's diagnostics
            row.Clear();
            for (std::size_t i = 0; i < bound.size(); ++i) {
                const BoundColumn& b = bound[i];
                const SQLLEN indicator = b.indicator[r];
                if (indicator == SQL_NULL_DATA) {
                    row.AddNull();
                    continue;
                }
                const char* value = b.data.get() + r * b.binding.width;
                text.clear();
                switch (b.binding.cType) {
                    case SQL_C_WCHAR:
                    case SQL_C_CHAR: {
                        const std::size_t unit =
                            b.binding.cType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : 1;
                        if (indicator == SQL_NO_TOTAL ||
                            static_cast<std::size_t>(indicator) > b.binding.width - unit) {
                            // Longer than the column size promised: read it whole.
                            statement.Check(SQLSetPos(statement.get(),
                                                      static_cast<SQLSETPOSIROW>(r + 1),
                                                      SQL_POSITION, SQL_LOCK_NO_CHANGE));
                            reader.ReadColumn(statement, i, row);
                            continue;
                        }
                        if (unit == 1) {
                            row.Add(std::string_view(value, static_cast<std::size_t>(indicator)));
                        } else {
                            AppendUtf8(text, reinterpret_cast<const SQLWCHAR*>(value),
                                       static_cast<std::size_t>(indicator) / unit);
                            row.Add(text);
                        }
                        continue;
                    }
                    case SQL_C_FLOAT:
                        AppendFloat(text, *reinterpret_cast<const SQLREAL*>(value));
                        break;
                    case SQL_C_DOUBLE:
                        AppendDouble(text, *reinterpret_cast<const SQLDOUBLE*>(value));
                        break;
                    case SQL_C_TYPE_DATE:
                        AppendDate(text, *reinterpret_cast<const SQL_DATE_STRUCT*>(value));
                        break;
                    case SQL_C_TYPE_TIME:
                        AppendTime(text, *reinterpret_cast<const SQL_TIME_STRUCT*>(value));
                        break;
                    case SQL_C_TYPE_TIMESTAMP:
                        AppendTimestamp(text,
                                        *reinterpret_cast<const SQL_TIMESTAMP_STRUCT*>(value));
                        break;
                }
                row.Add(text);
            }
            store.Append(row.Bytes());
        }
    }
    return true;
}

}  // namespace adodb::detail
