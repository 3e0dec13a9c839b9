#include "adodb/ColumnReader.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <utility>

#include "adodb/Enums.h"
#include "adodb/Error.h"
#include "adodb/OdbcText.h"
#include "adodb/TextCodec.h"

namespace adodb::detail {
namespace {

// The first SQLGetData of a value asks for this much; most values fit.
constexpr std::size_t kFirstPiece = 8192;
// Wide and binary values are read and converted this many code units or bytes at a time.
constexpr std::size_t kPieceUnits = std::size_t{32} << 10;

bool IsHighSurrogate(SQLWCHAR unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Makes room for `more` bytes at the end of out: growing by half at least, so that a
// value whose estimate fell short is not copied again for every piece.
void Reserve(std::string& out, std::size_t more) {
    if (out.capacity() - out.size() >= more)
        return;
    out.reserve(std::max(out.size() + more, out.capacity() + out.capacity() / 2));
}

// Drops the value begun at `begin` and writes Null instead, however far it got.
class ValueGuard {
  public:
    ValueGuard(RowEncoder& row) : row_(row), begin_(row.BeginValue()) {}
    ~ValueGuard() {
        if (!done_)
            row_.DropValue(begin_);
    }
    ValueGuard(const ValueGuard&) = delete;
    ValueGuard& operator=(const ValueGuard&) = delete;
    std::string& out() noexcept { return row_.Buffer(); }
    void End() {
        row_.EndValue(begin_);
        done_ = true;
    }
    void Null() {
        row_.DropValue(begin_);
        row_.AddNull();
        done_ = true;
    }

  private:
    RowEncoder& row_;
    std::size_t begin_;
    bool done_ = false;
};

FetchAs FetchAsFor(int adoType, bool floatsAsNumbers) {
    switch (adoType) {
        case adBinary:
        case adVarBinary:
        case adLongVarBinary:
            return FetchAs::kBinary;
        case adSingle:
            return floatsAsNumbers ? FetchAs::kFloat : FetchAs::kText;
        case adDouble:
            return floatsAsNumbers ? FetchAs::kDouble : FetchAs::kText;
        default:
            return FetchAs::kText;
    }
}

std::string ColumnName(const StatementHandle& statement, SQLUSMALLINT number, SQLSMALLINT& sqlType,
                       SQLULEN& size) {
    return WithTextApi(statement.api(), [&](auto api) {
        using Text = decltype(api);
        SQLSMALLINT digits = 0, nullable = 0, length = 0;
        std::vector<typename Text::Char> buffer(256);
        for (;;) {
            statement.Check(Text::DescribeCol(statement.get(), number, buffer.data(),
                                              static_cast<SQLSMALLINT>(buffer.size()), &length,
                                              &sqlType, &size, &digits, &nullable));
            if (length < static_cast<SQLSMALLINT>(buffer.size()))
                break;
            buffer.resize(static_cast<std::size_t>(length) + 1);
        }
        return Text::Out(buffer.data(), static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)));
    });
}

std::string TypeName(const StatementHandle& statement, SQLUSMALLINT number) {
    return WithTextApi(statement.api(), [&](auto api) {
        using Text = decltype(api);
        typename Text::Char buffer[256] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(Text::ColAttribute(statement.get(), number, SQL_DESC_TYPE_NAME, buffer,
                                              sizeof buffer, &length, nullptr))) {
            return std::string();
        }
        return TextOfBytes<Text>(buffer, length, std::size(buffer));
    });
}

bool IsUnsigned(const StatementHandle& statement, SQLUSMALLINT number) {
    SQLLEN isUnsigned = SQL_FALSE;
    statement.Check(WithTextApi(statement.api(), [&](auto api) {
        return decltype(api)::ColAttribute(statement.get(), number, SQL_DESC_UNSIGNED, nullptr, 0,
                                           nullptr, &isUnsigned);
    }));
    return isUnsigned == SQL_TRUE;
}

}  // namespace

ColumnReader::ColumnReader(const StatementHandle& statement, bool floatsAsNumbers) {
    SQLSMALLINT count = 0;
    statement.Check(SQLNumResultCols(statement.get(), &count));
    columns_.reserve(static_cast<std::size_t>(count));
    for (SQLUSMALLINT number = 1; number <= count; ++number) {
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        std::string name = ColumnName(statement, number, sqlType, size);
        const int adoType = AdoTypeFromSqlType(sqlType, IsUnsigned(statement, number));
        columns_.push_back({std::move(name), sqlType, adoType, FetchAsFor(adoType, floatsAsNumbers),
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
      text_(std::move(other.text_)),
      wide_(std::move(other.wide_)),
      binary_(std::move(other.binary_)),
      number_(std::move(other.number_)),
      cLocale_(std::exchange(other.cLocale_, nullptr)) {}

ColumnReader& ColumnReader::operator=(ColumnReader&& other) noexcept {
    if (this != &other) {
        if (cLocale_ != nullptr)
            freelocale(cLocale_);
        columns_ = std::move(other.columns_);
        text_ = std::move(other.text_);
        wide_ = std::move(other.wide_);
        binary_ = std::move(other.binary_);
        number_ = std::move(other.number_);
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
    if (column.fetchAs == FetchAs::kBinary)
        return ReadBinary(statement, number, row);
    if (column.fetchAs == FetchAs::kDouble || column.fetchAs == FetchAs::kFloat)
        return ReadNumber(statement, number, column.fetchAs, row);
    if (statement.api() == TextApi::kWide)
        return ReadWide(statement, number, row);
    return ReadText(statement, number, row);
}

// A truncated part leaves `room - 1` bytes and a terminator in the buffer, and the
// indicator says how much was left before the call (or SQL_NO_TOTAL); the next call goes
// on from there. The first part comes into a small buffer of its own; the rest of a long
// value is written by the driver straight into the row.
void ColumnReader::ReadText(const StatementHandle& statement, SQLUSMALLINT number,
                            RowEncoder& row) {
    if (text_.size() < kFirstPiece)
        text_.resize(kFirstPiece);
    SQLLEN indicator = 0;
    SQLRETURN rc = statement.Check(SQLGetData(statement.get(), number, SQL_C_CHAR, text_.data(),
                                              static_cast<SQLLEN>(text_.size()), &indicator));
    if (rc == SQL_NO_DATA)
        return row.Add({});
    if (indicator == SQL_NULL_DATA)
        return row.AddNull();
    std::size_t part = text_.size() - 1;
    if (indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) <= part)
        return row.Add(std::string_view(text_.data(), static_cast<std::size_t>(indicator)));
    ValueGuard value(row);
    std::string& out = value.out();
    const std::size_t start = out.size();
    for (;;) {
        // Exactly the rest when the driver says how much; else as much again as so far.
        const std::size_t room = indicator == SQL_NO_TOTAL
                                     ? std::max(out.size() - start + part, kFirstPiece)
                                     : static_cast<std::size_t>(indicator) - part + 1;
        if (out.size() == start) {
            Reserve(out, part + room);
            out.append(text_.data(), part);
        }
        Reserve(out, room);
        const std::size_t at = out.size();
        out.resize(at + room);
        rc = statement.Check(SQLGetData(statement.get(), number, SQL_C_CHAR, out.data() + at,
                                        static_cast<SQLLEN>(room), &indicator));
        part = room - 1;
        if (rc == SQL_NO_DATA || indicator == SQL_NULL_DATA) {  // nothing after a truncated part
            out.resize(at);
            break;
        }
        if (indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) <= part) {
            out.resize(at + static_cast<std::size_t>(indicator));
            break;
        }
        out.resize(at + part);
    }
    value.End();
}

// Read kPieceUnits at a time and converted as they come; a high surrogate that ends a
// piece waits for its partner at the front of the next.
void ColumnReader::ReadWide(const StatementHandle& statement, SQLUSMALLINT number,
                            RowEncoder& row) {
    constexpr std::size_t kUnit = sizeof(SQLWCHAR);
    ValueGuard value(row);
    std::string& out = value.out();
    if (wide_.size() < kPieceUnits)
        wide_.resize(kPieceUnits);
    std::size_t carried = 0;
    bool first = true;
    for (;;) {
        const std::size_t room = wide_.size() - carried;  // in code units
        SQLLEN indicator = 0;                             // in bytes
        const SQLRETURN rc =
            statement.Check(SQLGetData(statement.get(), number, SQL_C_WCHAR, wide_.data() + carried,
                                       static_cast<SQLLEN>(room * kUnit), &indicator));
        if (rc == SQL_NO_DATA) {
            AppendUtf8(out, wide_.data(), carried);
            break;
        }
        if (indicator == SQL_NULL_DATA)
            return value.Null();
        const std::size_t part = room - 1;
        if (indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) <= part * kUnit) {
            const std::size_t count = carried + static_cast<std::size_t>(indicator) / kUnit;
            Reserve(out, 3 * count);
            AppendUtf8(out, wide_.data(), count);
            break;
        }
        std::size_t count = carried + part;
        const SQLWCHAR last = wide_[count - 1];
        carried = IsHighSurrogate(last) ? 1 : 0;
        count -= carried;
        const std::size_t before = out.size();
        Reserve(out, 3 * count);
        AppendUtf8(out, wide_.data(), count);
        if (first && indicator != SQL_NO_TOTAL) {
            // Room for the rest at the rate of this first piece (exact for ASCII), plus
            // the most one more piece can take beyond that rate.
            const std::size_t rest = static_cast<std::size_t>(indicator) / kUnit - part;
            const double rate =
                double(out.size() - before) / double(std::max<std::size_t>(count, 1));
            Reserve(out, static_cast<std::size_t>(double(rest) * rate) + 3 * kPieceUnits);
        }
        first = false;
        wide_[0] = last;
    }
    value.End();
}

void ColumnReader::ReadBinary(const StatementHandle& statement, SQLUSMALLINT number,
                              RowEncoder& row) {
    ValueGuard value(row);
    std::string& out = value.out();
    if (binary_.size() < kPieceUnits)
        binary_.resize(kPieceUnits);
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            statement.Check(SQLGetData(statement.get(), number, SQL_C_BINARY, binary_.data(),
                                       static_cast<SQLLEN>(binary_.size()), &indicator));
        if (rc == SQL_NO_DATA)
            break;
        if (indicator == SQL_NULL_DATA)
            return value.Null();
        if (indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) <= binary_.size()) {
            AppendHex(out, binary_.data(), static_cast<std::size_t>(indicator));
            break;
        }
        Reserve(out, 2 * (indicator == SQL_NO_TOTAL ? binary_.size()
                                                    : static_cast<std::size_t>(indicator)));
        AppendHex(out, binary_.data(), binary_.size());
    }
    value.End();
}

void ColumnReader::ReadNumber(const StatementHandle& statement, SQLUSMALLINT number, FetchAs as,
                              RowEncoder& row) {
    SQLLEN indicator = 0;
    double value = 0;
    float single = 0;
    const bool isDouble = as == FetchAs::kDouble;
    const SQLRETURN rc = statement.Check(
        isDouble
            ? SQLGetData(statement.get(), number, SQL_C_DOUBLE, &value, sizeof value, &indicator)
            : SQLGetData(statement.get(), number, SQL_C_FLOAT, &single, sizeof single, &indicator));
    if (rc == SQL_NO_DATA || indicator == SQL_NULL_DATA)
        return row.AddNull();
    number_.clear();
    if (isDouble)
        AppendDouble(number_, value);
    else
        AppendFloat(number_, single);
    row.Add(number_);
}

}  // namespace adodb::detail
