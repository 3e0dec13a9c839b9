#include "adodb/ColumnReader.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <utility>

#include "adodb/DataType.h"
#include "adodb/Error.h"
#include "adodb/TextCodec.h"

namespace adodb::detail {
namespace {

constexpr std::size_t kInitialBuffer = 8192;

FetchAs FetchAsFor(int adoType) {
    switch (adoType) {
        case adBinary:
        case adVarBinary:
        case adLongVarBinary:
            return FetchAs::kBinary;
        default:
            return FetchAs::kText;
    }
}

std::string ColumnName(const StatementHandle& statement, SQLUSMALLINT number, SQLSMALLINT& sqlType,
                       SQLULEN& size) {
    SQLSMALLINT digits = 0, nullable = 0, length = 0;
    std::string name;
    if (statement.api() == TextApi::kWide) {
        std::vector<SQLWCHAR> buffer(128);
        for (;;) {
            statement.Check(SQLDescribeColW(statement.get(), number, buffer.data(),
                                            static_cast<SQLSMALLINT>(buffer.size()), &length,
                                            &sqlType, &size, &digits, &nullable));
            if (length < static_cast<SQLSMALLINT>(buffer.size()))
                break;
            buffer.resize(static_cast<std::size_t>(length) + 1);
        }
        AppendUtf8(name, buffer.data(), static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)));
    } else {
        std::vector<SQLCHAR> buffer(256);
        for (;;) {
            statement.Check(SQLDescribeCol(statement.get(), number, buffer.data(),
                                           static_cast<SQLSMALLINT>(buffer.size()), &length,
                                           &sqlType, &size, &digits, &nullable));
            if (length < static_cast<SQLSMALLINT>(buffer.size()))
                break;
            buffer.resize(static_cast<std::size_t>(length) + 1);
        }
        name.assign(reinterpret_cast<const char*>(buffer.data()),
                    static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)));
    }
    return name;
}

std::string TypeName(const StatementHandle& statement, SQLUSMALLINT number) {
    SQLSMALLINT length = 0;
    if (statement.api() == TextApi::kWide) {
        SQLWCHAR buffer[128] = {};
        if (!SQL_SUCCEEDED(SQLColAttributeW(statement.get(), number, SQL_DESC_TYPE_NAME, buffer,
                                            sizeof buffer, &length, nullptr))) {
            return {};
        }
        std::string name;
        AppendUtf8(
            name, buffer,
            std::min<std::size_t>(
                static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)) / sizeof(SQLWCHAR),
                std::size(buffer) - 1));
        return name;
    }
    SQLCHAR buffer[256] = {};
    if (!SQL_SUCCEEDED(SQLColAttribute(statement.get(), number, SQL_DESC_TYPE_NAME, buffer,
                                       sizeof buffer, &length, nullptr))) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(buffer));
}

bool IsUnsigned(const StatementHandle& statement, SQLUSMALLINT number) {
    SQLLEN isUnsigned = SQL_FALSE;
    if (statement.api() == TextApi::kWide) {
        statement.Check(SQLColAttributeW(statement.get(), number, SQL_DESC_UNSIGNED, nullptr, 0,
                                         nullptr, &isUnsigned));
    } else {
        statement.Check(SQLColAttribute(statement.get(), number, SQL_DESC_UNSIGNED, nullptr, 0,
                                        nullptr, &isUnsigned));
    }
    return isUnsigned == SQL_TRUE;
}

}  // namespace

ColumnReader::ColumnReader(const StatementHandle& statement) {
    SQLSMALLINT count = 0;
    statement.Check(SQLNumResultCols(statement.get(), &count));
    columns_.reserve(static_cast<std::size_t>(count));
    for (SQLUSMALLINT number = 1; number <= count; ++number) {
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        std::string name = ColumnName(statement, number, sqlType, size);
        const int adoType = AdoTypeFromSqlType(sqlType, IsUnsigned(statement, number));
        columns_.push_back({std::move(name), sqlType, adoType, FetchAsFor(adoType),
                            static_cast<std::size_t>(size), TypeName(statement, number)});
    }
    cLocale_ = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (cLocale_ == nullptr)
        throw Error("Cannot create the C locale.");
}

ColumnReader::~ColumnReader() {
    if (cLocale_ != nullptr)
        freelocale(cLocale_);
}

ColumnReader::ColumnReader(ColumnReader&& other) noexcept
    : columns_(std::move(other.columns_)),
      bytes_(std::move(other.bytes_)),
      wide_(std::move(other.wide_)),
      text_(std::move(other.text_)),
      cLocale_(std::exchange(other.cLocale_, nullptr)) {}

ColumnReader& ColumnReader::operator=(ColumnReader&& other) noexcept {
    if (this != &other) {
        if (cLocale_ != nullptr)
            freelocale(cLocale_);
        columns_ = std::move(other.columns_);
        bytes_ = std::move(other.bytes_);
        wide_ = std::move(other.wide_);
        text_ = std::move(other.text_);
        cLocale_ = std::exchange(other.cLocale_, nullptr);
    }
    return *this;
}

bool ColumnReader::Fetch(const StatementHandle& statement) {
    return statement.Check(SQLFetch(statement.get())) != SQL_NO_DATA;
}

void ColumnReader::ReadRow(const StatementHandle& statement, RowEncoder& row) {
    ThreadLocale cLocale(cLocale_);
    row.Clear();
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        ReadValue(statement, static_cast<SQLUSMALLINT>(i + 1), columns_[i], row);
    }
}

void ColumnReader::ReadValue(const StatementHandle& statement, SQLUSMALLINT number,
                             const Column& column, RowEncoder& row) {
    std::size_t size = 0;
    if (column.fetchAs == FetchAs::kBinary) {
        if (!ReadBytes(statement, number, SQL_C_BINARY, size))
            return row.AddNull();
        text_.clear();
        AppendHex(text_, reinterpret_cast<const unsigned char*>(bytes_.data()), size);
        return row.Add(text_);
    }
    if (statement.api() == TextApi::kWide) {
        if (!ReadWide(statement, number, size))
            return row.AddNull();
        text_.clear();
        AppendUtf8(text_, wide_.data(), size);
        return row.Add(text_);
    }
    if (!ReadBytes(statement, number, SQL_C_CHAR, size))
        return row.AddNull();
    return row.Add(std::string_view(bytes_.data(), size));
}

// A truncated part leaves `room - terminator` bytes in the buffer and the indicator says
// how much was left before the call (or SQL_NO_TOTAL); the next call goes on from there.
bool ColumnReader::ReadBytes(const StatementHandle& statement, SQLUSMALLINT number,
                             SQLSMALLINT cType, std::size_t& size) {
    const std::size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
    if (bytes_.size() < kInitialBuffer)
        bytes_.resize(kInitialBuffer);
    size = 0;
    for (;;) {
        const std::size_t room = bytes_.size() - size;
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            statement.Check(SQLGetData(statement.get(), number, cType, bytes_.data() + size,
                                       static_cast<SQLLEN>(room), &indicator));
        if (rc == SQL_NO_DATA)
            return true;  // nothing more after a truncated part
        if (indicator == SQL_NULL_DATA)
            return false;
        const std::size_t part = room - terminator;
        if (indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) <= part) {
            size += static_cast<std::size_t>(indicator);
            return true;
        }
        size += part;
        const std::size_t rest =
            indicator == SQL_NO_TOTAL ? bytes_.size() : static_cast<std::size_t>(indicator) - part;
        bytes_.resize(size + rest + terminator);
    }
}

bool ColumnReader::ReadWide(const StatementHandle& statement, SQLUSMALLINT number,
                            std::size_t& count) {
    constexpr std::size_t kUnit = sizeof(SQLWCHAR);
    if (wide_.size() < kInitialBuffer)
        wide_.resize(kInitialBuffer);
    count = 0;
    for (;;) {
        const std::size_t room = wide_.size() - count;  // in code units
        SQLLEN indicator = 0;                           // in bytes
        const SQLRETURN rc =
            statement.Check(SQLGetData(statement.get(), number, SQL_C_WCHAR, wide_.data() + count,
                                       static_cast<SQLLEN>(room * kUnit), &indicator));
        if (rc == SQL_NO_DATA)
            return true;
        if (indicator == SQL_NULL_DATA)
            return false;
        const std::size_t part = room - 1;
        if (indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) <= part * kUnit) {
            count += static_cast<std::size_t>(indicator) / kUnit;
            return true;
        }
        count += part;
        const std::size_t rest = indicator == SQL_NO_TOTAL
                                     ? wide_.size()
                                     : static_cast<std::size_t>(indicator) / kUnit - part;
        wide_.resize(count + rest + 1);
    }
}

}  // namespace adodb::detail
