#pragma once

#include <locale.h>
#include <sql.h>

#include <string>
#include <vector>

#include "adodb/Handles.h"
#include "adodb/RowFormat.h"

namespace adodb::detail {

// How a column's values are fetched and turned into text. Every value but a binary one is
// taken in the driver's own character form (numbers, dates and times included), so that
// it arrives as the source spells it: fetching numbers and dates as binary structures and
// formatting them again loses what those structures cannot hold (infinity, years before
// 1 or after 9999, fractions of a second, time zones).
enum class FetchAs {
    kText,    // SQL_C_WCHAR on a wide connection, else SQL_C_CHAR (UTF-8)
    kBinary,  // SQL_C_BINARY as lower-case hex
    kDouble,  // SQL_C_DOUBLE as its shortest exact text (when asked for)
    kFloat,   // SQL_C_FLOAT as its shortest exact text (when asked for)
};

struct Column {
    std::string name;
    int sqlType;
    int adoType;
    FetchAs fetchAs;
    std::size_t size;      // the driver's column size (characters or digits), 0 when unknown
    std::string typeName;  // the data source's own name of the type (SQL_DESC_TYPE_NAME)
};

// Switches the calling thread to a locale for the life of the object.
class ThreadLocale {
  public:
    explicit ThreadLocale(locale_t locale) : previous_(uselocale(locale)) {}
    ~ThreadLocale() { uselocale(previous_); }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

  private:
    locale_t previous_;
};

// Describes the columns of a statement's result and reads its rows as text, one
// SQLGetData per value (looping while the driver truncates, so values of any size come
// back whole). A value goes straight into the row as it arrives, converted piece by
// piece, so a huge one is held once, not again in whole-value buffers of its own.
class ColumnReader {
  public:
    // floatsAsNumbers: floating-point columns are fetched as binary numbers, not as text.
    explicit ColumnReader(const StatementHandle& statement, bool floatsAsNumbers = false);
    ~ColumnReader();
    ColumnReader(ColumnReader&&) noexcept;
    ColumnReader& operator=(ColumnReader&&) noexcept;
    ColumnReader(const ColumnReader&) = delete;
    ColumnReader& operator=(const ColumnReader&) = delete;

    const std::vector<Column>& columns() const noexcept { return columns_; }
    void Rename(std::size_t index, std::string name) { columns_[index].name = std::move(name); }

    // Moves to the next row (SQLFetch); false after the last.
    bool Fetch(const StatementHandle& statement);
    // Encodes the values of the current row.
    void ReadRow(const StatementHandle& statement, RowEncoder& row);
    // Encodes one value of the current row (index from 0); the caller holds the C locale.
    void ReadColumn(const StatementHandle& statement, std::size_t index, RowEncoder& row) {
        ReadValue(statement, static_cast<SQLUSMALLINT>(index + 1), columns_[index], row);
    }
    // The C locale, under which drivers are asked for values.
    locale_t cLocale() const noexcept { return cLocale_; }

  private:
    void ReadValue(const StatementHandle& statement, SQLUSMALLINT number, const Column& column,
                   RowEncoder& row);
    // Each appends the value to `row` (text, UTF-16 text as UTF-8, binary as hex), or
    // Null.
    void ReadText(const StatementHandle& statement, SQLUSMALLINT number, RowEncoder& row);
    void ReadWide(const StatementHandle& statement, SQLUSMALLINT number, RowEncoder& row);
    void ReadBinary(const StatementHandle& statement, SQLUSMALLINT number, RowEncoder& row);
    void ReadNumber(const StatementHandle& statement, SQLUSMALLINT number, FetchAs as,
                    RowEncoder& row);

    std::vector<Column> columns_;
    // Pieces of values, of a fixed size.
    std::vector<char> text_;
    std::vector<SQLWCHAR> wide_;
    std::vector<unsigned char> binary_;
    std::string number_;  // a floating-point value's text
    // Some drivers (psqlODBC) write numbers with the locale's decimal separator; values
    // are read with the thread switched to the C locale.
    locale_t cLocale_ = nullptr;
};

}  // namespace adodb::detail
