#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rows/CopyConnection.h"
#include "sql/model/SourceField.h"

namespace korvanta {

// How a column's text as PostgreSQL writes it becomes the value a send carries.
enum class WireForm {
    kText,     // as the server writes it
    kBytes,    // a bytea's hex digits, without the \x before them
    kBoolean,  // t and f as 1 and 0, as every reader of the rows has had them
};

// Reads the rows of a query with COPY (...) TO STDOUT over libpq: each value in the
// server's own text, in the form the server sends rows fastest, each row's values
// unescaped where libpq put the row (no copy of a large value). Every wait is bounded by the
// command timeout; a reading that timed out, broke or was stopped before its end leaves the
// connection closed, to be opened again for the next one.
class PostgresRows {
  public:
    // The columns as the driver describes them: what the driver made of a value (booleans,
    // bytea) is made of the server's text the same way.
    PostgresRows(PostgresCopyConnection& connection, const std::vector<SourceField>& fields);
    ~PostgresRows();
    PostgresRows(const PostgresRows&) = delete;
    PostgresRows& operator=(const PostgresRows&) = delete;

    // The number a query gives (a count), or nullopt when it gives none. Only before Start.
    std::optional<long long> Number(const std::string& query);
    // Has the server plan the query without running it: raises its error where it refuses
    // the query.
    void Plan(const std::string& query);
    // Starts reading the query's rows. Raises the server's error.
    void Start(const std::string& query);
    // Moves to the next row; false after the last. Raises the server's error, a lost
    // connection's as lost (an answer that did not come in time included).
    bool Next();
    // A value of the current row; nullopt for Null.
    std::optional<std::string_view> Value(std::size_t column) const {
        const Span& span = values_[column];
        if (span.null)
            return std::nullopt;
        return std::string_view(row_ + span.offset, span.size);
    }
    // Hands over libpq's buffer of the current row, which its values then live in for as
    // long as the holder does; nullptr when it was handed over already. Each value in it is
    // followed by a NUL byte.
    std::shared_ptr<const char> TakeRow();
    // Where the current row's values are.
    std::string_view RowBytes() const noexcept { return {row_, rowSize_}; }
    // Ends a reading before its end.
    void Stop();

  private:
    // Runs the statement, raising the server's error unless its result is of the status
    // `expected` (libpq's ExecStatusType).
    void Run(const std::string& statement, int expected);
    struct Span {
        std::size_t offset;
        std::size_t size;
        bool null;
    };
    void Parse(char* line, std::size_t size);
    void Release();
    [[noreturn]] void Lost(bool timedOut);

    PostgresCopyConnection& connection_;
    std::vector<WireForm> forms_;
    std::vector<Span> values_;
    char* row_ = nullptr;  // libpq's buffer of the current row, freed by PQfreemem
    std::size_t rowSize_ = 0;
    bool ownsRow_ = false;        // false once the row is handed over
    std::size_t largestRow_ = 0;  // of the reading under way
    bool reading_ = false;
};

// Undoes COPY's text escapes in place; returns the unescaped length.
std::size_t UnescapeCopyText(char* text, std::size_t size);

}  // namespace korvanta
