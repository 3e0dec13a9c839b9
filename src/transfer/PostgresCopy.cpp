#include "transfer/PostgresCopy.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>

#include "adodb/TextCodec.h"
#include "catalog/SqlName.h"
#include "transfer/RowBatch.h"

namespace korvanta {
namespace {

// Rows are handed to libpq in pieces of about this size.
constexpr std::size_t kSendBytes = std::size_t{256} << 10;
// A run goes in one transaction, in COPYs of this many rows, each behind a savepoint: a
// refused row costs the rows of its own COPY, not the whole run, and the run still
// commits (and waits for the disk) once.
constexpr std::size_t kPieceRows = 4096;

struct ResultDeleter {
    void operator()(PGresult* result) const noexcept { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

void AppendEscaped(std::string& out, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char escape;
        switch (text[i]) {
            case '\\':
                escape = '\\';
                break;
            case '\t':
                escape = 't';
                break;
            case '\n':
                escape = 'n';
                break;
            case '\r':
                escape = 'r';
                break;
            default:
                continue;
        }
        out.append(text.substr(plain, i - plain));
        out += '\\';
        out += escape;
        plain = i + 1;
    }
    out.append(text.substr(plain));
}

// Ends the COPY in progress and reads its outcome; the connection is ready for the next
// command afterwards, whatever happened.
WriteOutcome Finish(PGconn* connection, std::string_view table, bool abandon, std::size_t first) {
    WriteOutcome outcome;
    if (PQputCopyEnd(connection, abandon ? "abandoned" : nullptr) != 1)
        outcome.kind = WriteOutcome::Kind::kUnusable;
    bool failed = abandon;
    while (Result result{PQgetResult(connection)}) {
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_COMMAND_OK)
            continue;
        if (status == PGRES_COPY_IN) {
            // Only when the end could not be sent: nothing more will come through.
            outcome.kind = WriteOutcome::Kind::kUnusable;
            break;
        }
        failed = true;
        if (const char* context = PQresultErrorField(result.get(), PG_DIAG_CONTEXT)) {
            if (const std::size_t line = CopyErrorLine(context, table))
                outcome.failedRow = first + line - 1;
        }
    }
    if (PQstatus(connection) != CONNECTION_OK)
        outcome.kind = WriteOutcome::Kind::kUnusable;
    else if (failed && outcome.kind == WriteOutcome::Kind::kWritten)
        outcome.kind = WriteOutcome::Kind::kRejected;
    if (outcome.kind == WriteOutcome::Kind::kWritten)
        outcome.written = 0;  // set by the caller, which knows the rows
    return outcome;
}

bool Command(PGconn* connection, const char* sql) {
    Result result{PQexec(connection, sql)};
    return PQresultStatus(result.get()) == PGRES_COMMAND_OK;
}

// True only when the transaction really committed: COMMIT of a transaction that failed
// answers "ROLLBACK", not an error.
bool Commit(PGconn* connection) {
    Result result{PQexec(connection, "COMMIT")};
    return PQresultStatus(result.get()) == PGRES_COMMAND_OK &&
           std::string_view(PQcmdStatus(result.get())) == "COMMIT";
}

}  // namespace

std::unique_ptr<PostgresCopyConnection> PostgresCopyConnection::Open(
    const ConnectionValues& values) {
    const std::string host = values.server.toStdString();
    const std::string port = values.port.toStdString();
    const std::string user = values.user.toStdString();
    const std::string password = values.password.toStdString();
    const std::string database = values.database.toStdString();
    // Parameters by keyword: no value needs quoting, and none can add a parameter.
    const char* keywords[] = {
        "host", "port", "user", "password", "dbname", "client_encoding", "connect_timeout",
        nullptr};
    const char* settings[] = {host.c_str(),     port.c_str(), user.c_str(), password.c_str(),
                              database.c_str(), "UTF8",       "30",         nullptr};
    PGconn* connection = PQconnectdbParams(keywords, settings, 0);
    if (connection == nullptr)
        return nullptr;
    if (PQstatus(connection) != CONNECTION_OK) {
        PQfinish(connection);
        return nullptr;
    }
    return std::unique_ptr<PostgresCopyConnection>(new PostgresCopyConnection(connection));
}

PostgresCopyConnection::~PostgresCopyConnection() {
    PQfinish(connection_);
}

bool PostgresCopyConnection::Broken() const {
    return PQstatus(connection_) != CONNECTION_OK;
}

void AppendCopyValue(std::string& out, std::optional<std::string_view> value) {
    if (!value) {
        out += "\\N";
        return;
    }
    if (adodb::detail::IsValidUtf8(*value)) {
        AppendEscaped(out, *value);
        return;
    }
    std::string mended;
    adodb::detail::AppendMendedUtf8(mended, *value);
    AppendEscaped(out, mended);
}

std::size_t CopyErrorLine(std::string_view context, std::string_view table) {
    // The table's name comes first and may hold anything, a ", line" included.
    std::string prefix = "COPY ";
    prefix += table;
    prefix += ", line ";
    const std::size_t at = context.find(prefix);
    if (at == std::string_view::npos)
        return 0;
    const char* begin = context.data() + at + prefix.size();
    std::size_t line = 0;
    const auto [end, error] = std::from_chars(begin, context.data() + context.size(), line);
    if (error != std::errc() || end == begin)
        return 0;
    return line;
}

CopyWriter::CopyWriter(PostgresCopyConnection& connection, std::string_view table)
    : connection_(connection),
      table_(table),
      statement_("COPY " + QuotedName(table) + " FROM STDIN") {}

WriteOutcome CopyWriter::Write(const RowBatch& batch, std::size_t first, std::size_t last,
                               std::atomic<long long>& sent) {
    PGconn* connection = connection_.get();
    // Whatever stops the run half-way leaves none of its rows in and the connection ready
    // for the next command.
    const auto abandon = [connection](WriteOutcome::Kind kind) {
        Command(connection, "ROLLBACK");
        return WriteOutcome{
            PQstatus(connection) == CONNECTION_OK ? kind : WriteOutcome::Kind::kUnusable, 0,
            std::nullopt};
    };
    constexpr WriteOutcome::Kind kUnusable = WriteOutcome::Kind::kUnusable;
    if (connection_.Broken() || !Command(connection, "BEGIN"))
        return abandon(kUnusable);
    for (std::size_t piece = first; piece < last;) {
        const std::size_t end = std::min(last, piece + kPieceRows);
        if (!Command(connection, "SAVEPOINT piece"))
            return abandon(kUnusable);
        const WriteOutcome outcome = Copy(batch, piece, end, sent);
        if (outcome.kind == kUnusable)
            return abandon(kUnusable);
        if (outcome.kind == WriteOutcome::Kind::kWritten) {
            if (!Command(connection, "RELEASE SAVEPOINT piece"))
                return abandon(kUnusable);
            piece = end;
            continue;
        }
        // Refused: the rows of this COPY before the refused one go in again, and the run
        // ends there, committed.
        if (!Command(connection, "ROLLBACK TO SAVEPOINT piece"))
            return abandon(kUnusable);
        std::size_t in = piece;
        if (outcome.failedRow && *outcome.failedRow > piece && *outcome.failedRow < end) {
            const WriteOutcome again = Copy(batch, piece, *outcome.failedRow, sent);
            if (again.kind == WriteOutcome::Kind::kWritten) {
                in = *outcome.failedRow;
            } else if (again.kind == kUnusable ||
                       !Command(connection, "ROLLBACK TO SAVEPOINT piece")) {
                return abandon(kUnusable);
            }
        }
        if (!Commit(connection))
            return abandon(WriteOutcome::Kind::kRejected);
        return {WriteOutcome::Kind::kRejected, in - first, outcome.failedRow};
    }
    // A COMMIT refused (a deferred check) takes every row of the run with it.
    if (!Commit(connection))
        return abandon(WriteOutcome::Kind::kRejected);
    return {WriteOutcome::Kind::kWritten, last - first, std::nullopt};
}

WriteOutcome CopyWriter::Copy(const RowBatch& batch, std::size_t first, std::size_t last,
                              std::atomic<long long>& sent) {
    PGconn* connection = connection_.get();
    {
        Result started{PQexec(connection, statement_.c_str())};
        if (PQresultStatus(started.get()) != PGRES_COPY_IN) {
            // COPY itself was refused (rights, a table unlike the one created): the rows go
            // through the driver instead.
            return {WriteOutcome::Kind::kUnusable, 0, std::nullopt};
        }
    }
    buffer_.clear();
    long long pending = 0;
    const std::size_t columns = batch.Columns();
    for (std::size_t row = first; row < last; ++row) {
        for (std::size_t column = 0; column < columns; ++column) {
            if (column > 0)
                buffer_ += '\t';
            AppendCopyValue(buffer_, batch.Value(row, column));
        }
        buffer_ += '\n';
        ++pending;
        if (buffer_.size() >= kSendBytes || row + 1 == last) {
            if (PQputCopyData(connection, buffer_.data(), static_cast<int>(buffer_.size())) != 1)
                return Finish(connection, table_, true, first);
            buffer_.clear();
            sent += pending;
            pending = 0;
        }
    }
    return Finish(connection, table_, false, first);
}

}  // namespace korvanta
