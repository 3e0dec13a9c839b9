#include "engine/rows/PostgresRows.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>

#include "adodb/Enums.h"
#include "adodb/TextCodec.h"
#include "engine/rows/PostgresWire.h"

namespace korvanta {

namespace {

using adodb::detail::HexDigit;
using namespace wire;

// The hex digits of a bytea's text ("\x00ff"), lower case as the server writes them: the
// form binary values travel in.
void CheckHex(const char* text, std::size_t size) {
    if (size < 2 || text[0] != '\\' || text[1] != 'x')
        throw adodb::Error("A bytea value did not come as hex digits: is bytea_output changed?");
}

// libpq grows its input buffer to hold the largest row read and keeps it for as long as
// the connection lives; a reading that needed more than this closes the connection when it
// ends, and the next one opens it again.
constexpr std::size_t kKeptInputBytes = std::size_t{8} << 20;

Clock::time_point Deadline(const PostgresCopyConnection& connection) {
    return Clock::now() + std::chrono::seconds(connection.settings().commandTimeoutSeconds);
}

}  // namespace

std::size_t UnescapeCopyText(char* text, std::size_t size) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < size; ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < size) {
            c = text[++i];
            switch (c) {
                case 'b':
                    c = '\b';
                    break;
                case 'f':
                    c = '\f';
                    break;
                case 'n':
                    c = '\n';
                    break;
                case 'r':
                    c = '\r';
                    break;
                case 't':
                    c = '\t';
                    break;
                case 'v':
                    c = '\v';
                    break;
                case 'x':
                    if (i + 1 < size && HexDigit(text[i + 1]) >= 0) {
                        int value = HexDigit(text[++i]);
                        if (i + 1 < size && HexDigit(text[i + 1]) >= 0)
                            value = value * 16 + HexDigit(text[++i]);
                        c = static_cast<char>(value);
                    }
                    break;
                default:
                    if (c >= '0' && c <= '7') {
                        int value = c - '0';
                        for (int k = 0;
                             k < 2 && i + 1 < size && text[i + 1] >= '0' && text[i + 1] <= '7'; ++k)
                            value = value * 8 + (text[++i] - '0');
                        c = static_cast<char>(value);
                    }
                    break;
            }
        }
        text[out++] = c;
    }
    return out;
}

PostgresRows::PostgresRows(PostgresCopyConnection& connection,
                           const std::vector<SourceField>& fields)
    : connection_(connection) {
    for (const SourceField& field : fields) {
        const bool bytes = field.type == adodb::adBinary || field.type == adodb::adVarBinary ||
                           field.type == adodb::adLongVarBinary;
        forms_.push_back(bytes                            ? WireForm::kBytes
                         : field.nativeTypeName == "bool" ? WireForm::kBoolean
                                                          : WireForm::kText);
    }
    values_.resize(forms_.size());
}

PostgresRows::~PostgresRows() {
    Stop();
}

void PostgresRows::Release() {
    if (row_ != nullptr && ownsRow_)
        PQfreemem(row_);
    row_ = nullptr;
    rowSize_ = 0;
    ownsRow_ = false;
}

// The reading cannot go on, and the connection cannot serve another command: it is closed,
// and the error says why. libpq gives up on a row it has no memory for (the connection may
// stay open, or be dropped as out of step); the server is then still there, and the error is
// the row's, not a lost connection's: a connection opened again tells which.
void PostgresRows::Lost(bool timedOut) {
    reading_ = false;
    Release();
    PGconn* connection = connection_.get();
    std::string text = connection != nullptr ? PQerrorMessage(connection) : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    const bool open = connection != nullptr && PQstatus(connection) == CONNECTION_OK;
    connection_.Abandon();
    if (timedOut || text.empty())
        throw adodb::Error(open || text.empty() ? "The server did not answer in time." : text,
                           "08006");
    if (open || connection_.Reopen())
        throw adodb::Error(text, "HY000");
    throw adodb::Error(text, "08006");
}

std::optional<long long> PostgresRows::Number(const std::string& query) {
    if ((connection_.Broken() && !connection_.Reopen()) || reading_)
        return std::nullopt;
    const Result result = Exec(connection_.get(), query.c_str(), Deadline(connection_));
    if (!result) {
        connection_.Abandon();
        return std::nullopt;
    }
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQntuples(result.get()) < 1 ||
        PQgetisnull(result.get(), 0, 0))
        return std::nullopt;
    const char* text = PQgetvalue(result.get(), 0, 0);
    const std::string_view digits(text);
    long long number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

// The connection is opened again when it broke.
void PostgresRows::Run(const std::string& statement, int expected) {
    if (connection_.Broken() && !connection_.Reopen())
        throw adodb::Error("Could not connect to the PostgreSQL server to read the rows.", "08001");
    const Result result = Exec(connection_.get(), statement.c_str(), Deadline(connection_));
    if (!result)
        Lost(false);
    if (PQresultStatus(result.get()) != static_cast<ExecStatusType>(expected)) {
        const adodb::Error error = ErrorOf(result.get(), connection_.get());
        if (error.connectionLost())
            connection_.Abandon();
        throw error;
    }
}

void PostgresRows::Plan(const std::string& query) {
    Run("EXPLAIN " + query, PGRES_TUPLES_OK);
}

void PostgresRows::Start(const std::string& query) {
    Stop();
    Run("COPY (" + query + ") TO STDOUT", PGRES_COPY_OUT);
    reading_ = true;
    largestRow_ = 0;
}

bool PostgresRows::Next() {
    Release();
    if (!reading_)
        return false;
    PGconn* connection = connection_.get();
    for (;;) {
        char* buffer = nullptr;
        const int size = PQgetCopyData(connection, &buffer, 1);
        if (size > 0) {
            row_ = buffer;
            rowSize_ = static_cast<std::size_t>(size);
            ownsRow_ = true;
            largestRow_ = std::max(largestRow_, static_cast<std::size_t>(size));
            Parse(buffer, static_cast<std::size_t>(size));
            return true;
        }
        if (size == 0) {
            if (!WaitSocket(connection, false, Deadline(connection_)))
                Lost(true);
            if (!PQconsumeInput(connection))
                Lost(false);
            continue;
        }
        if (size == -2)
            Lost(false);
        break;
    }
    // The rows have ended: the command's own result says whether all of them came.
    reading_ = false;
    std::optional<adodb::Error> failure;
    for (;;) {
        bool broken = false;
        Result result = NextResult(connection, Deadline(connection_), broken);
        if (broken)
            Lost(false);
        if (!result)
            break;
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && !failure)
            failure = ErrorOf(result.get(), connection);
    }
    if (failure) {
        if (failure->connectionLost())
            connection_.Abandon();
        throw *failure;
    }
    if (largestRow_ > kKeptInputBytes)
        connection_.Abandon();
    return false;
}

std::shared_ptr<const char> PostgresRows::TakeRow() {
    if (row_ == nullptr || !ownsRow_)
        return nullptr;
    ownsRow_ = false;
    return std::shared_ptr<const char>(row_,
                                       [](const char* row) { PQfreemem(const_cast<char*>(row)); });
}

void PostgresRows::Stop() {
    Release();
    if (!reading_)
        return;
    // A COPY cannot be left halfway: closing the connection ends it at the server without
    // waiting for the rest of the rows.
    reading_ = false;
    connection_.Abandon();
}

// One row: values separated by tabs, ended by a newline, \N for Null, escapes undone in
// place.
void PostgresRows::Parse(char* line, std::size_t size) {
    if (size > 0 && line[size - 1] == '\n')
        --size;
    std::size_t column = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i < size && line[i] != '\t')
            continue;
        if (column >= values_.size())
            throw adodb::Error("The server sent more values in a row than the table has columns.");
        char* text = line + start;
        std::size_t length = i - start;
        Span& span = values_[column];
        span.null = length == 2 && text[0] == '\\' && text[1] == 'N';
        span.offset = start;
        if (!span.null) {
            length = UnescapeCopyText(text, length);
            // Where the separator or an undone escape was: a value handed over whole can go
            // to a driver as terminated text, which it need not copy.
            text[length] = '\0';
            if (forms_[column] == WireForm::kBytes) {
                CheckHex(text, length);
                span.offset += 2;
                length -= 2;
            } else if (forms_[column] == WireForm::kBoolean && length == 1)
                text[0] = text[0] == 't' ? '1' : text[0] == 'f' ? '0' : text[0];
        }
        span.size = length;
        ++column;
        start = i + 1;
    }
    if (column != values_.size())
        throw adodb::Error("The server sent fewer values in a row than the table has columns.");
}

}  // namespace korvanta
