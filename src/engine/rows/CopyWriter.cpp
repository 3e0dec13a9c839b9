#include "engine/rows/CopyWriter.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <thread>

#include "engine/rows/PostgresWire.h"
#include "engine/rows/RowBatch.h"
#include "engine/rows/TransientFailure.h"
#include "sql/model/SqlName.h"

namespace korvanta {
namespace {

using namespace wire;
using Kind = WriteOutcome::Kind;

// Rows are handed to libpq in pieces of about this size, a large value in slices of it, so
// that neither our buffer nor libpq's holds a whole large value a second time.
constexpr std::size_t kSendBytes = std::size_t{256} << 10;
// A run goes in one transaction, in COPYs of this many rows, each behind a savepoint: a
// refused row costs the rows of its own COPY, not the whole run, and the run still
// commits (and waits for the disk) once.
constexpr std::size_t kPieceRows = 4096;
// How long a COMMIT whose answer was lost is looked up before it counts as unknown.
constexpr std::chrono::seconds kResolveSeconds{30};

// Ends the COPY in progress and reads its outcome.
WriteOutcome Finish(PGconn* connection, std::string_view table, bool abandon, std::size_t first,
                    Clock::time_point deadline) {
    WriteOutcome outcome;
    for (;;) {
        const int ended = PQputCopyEnd(connection, abandon ? "abandoned" : nullptr);
        if (ended == 1)
            break;
        if (ended < 0 || !WaitSocket(connection, true, deadline) || !PQconsumeInput(connection)) {
            return {Kind::kUnusable, 0, std::nullopt, NoAnswer(connection)};
        }
    }
    if (!Flush(connection, deadline))
        return {Kind::kUnusable, 0, std::nullopt, NoAnswer(connection)};
    bool failed = abandon;
    for (;;) {
        bool broken = false;
        Result result = NextResult(connection, deadline, broken);
        if (broken)
            return {Kind::kUnusable, 0, std::nullopt, NoAnswer(connection)};
        if (!result)
            break;
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_COMMAND_OK)
            continue;
        if (status == PGRES_COPY_IN)
            return {Kind::kUnusable, 0, std::nullopt, NoAnswer(connection)};
        failed = true;
        outcome.error = ErrorOf(result.get(), connection);
        if (const char* context = PQresultErrorField(result.get(), PG_DIAG_CONTEXT)) {
            if (const std::size_t line = CopyErrorLine(context, table))
                outcome.failedRow = first + line - 1;
        }
    }
    if (PQstatus(connection) != CONNECTION_OK) {
        outcome.kind = Kind::kUnusable;
        outcome.error = NoAnswer(connection);
    } else if (failed) {
        outcome.kind =
            outcome.error && IsTransient(*outcome.error) ? Kind::kTransient : Kind::kRejected;
    }
    return outcome;
}

}  // namespace

std::size_t CopyErrorLine(std::string_view context, std::string_view table) {
    // The table's name comes first and may hold anything, a ", line" included; the word
    // for "line" is the server's language, the number after it is not.
    std::string prefix = "COPY ";
    prefix += table;
    prefix += ", ";
    const std::size_t at = context.find(prefix);
    if (at == std::string_view::npos)
        return 0;
    std::size_t digits = at + prefix.size();
    while (digits < context.size() && (context[digits] < '0' || context[digits] > '9')) {
        if (context[digits] == ',' || context[digits] == ':')
            return 0;  // past the line's place: no number there
        ++digits;
    }
    const char* begin = context.data() + digits;
    std::size_t line = 0;
    const auto [end, error] = std::from_chars(begin, context.data() + context.size(), line);
    if (error != std::errc() || end == begin)
        return 0;
    return line;
}

CopyWriter::CopyWriter(PostgresCopyConnection& connection, std::string_view table,
                       std::vector<bool> binary, const std::vector<std::string>& columns,
                       std::optional<MergePlan> merge)
    : connection_(connection), table_(table), binary_(std::move(binary)), merge_(std::move(merge)) {
    // A COPY's error context names the table it loads: the staging table's own name.
    if (merge_)
        table_ = merge_->staging.substr(merge_->staging.rfind('.') + 1);
    statement_ = "COPY " + (merge_ ? merge_->staging : QuotedName(table));
    if (!columns.empty())
        statement_ += " (" + QuotedNames(columns) + ")";
    statement_ += " FROM STDIN";
}

WriteOutcome CopyWriter::Merge(std::size_t rows) {
    PGconn* connection = connection_.get();
    const auto failed = [&](const Result& result) {
        if (!result || PQstatus(connection) != CONNECTION_OK)
            return Lost();
        adodb::Error error = ErrorOf(result.get(), connection);
        // A row the table refuses (a check, another unique key): the run is halved until
        // that row goes alone.
        return WriteOutcome{IsTransient(error) ? Kind::kTransient : Kind::kRejected, 0,
                            std::nullopt, error};
    };
    const Result counted = Exec(connection, merge_->count.c_str(), Deadline());
    if (!counted || PQresultStatus(counted.get()) != PGRES_TUPLES_OK ||
        PQntuples(counted.get()) != 1)
        return failed(counted);
    WriteOutcome outcome{Kind::kWritten, rows, std::nullopt, std::nullopt};
    outcome.inserted = std::strtoull(PQgetvalue(counted.get(), 0, 0), nullptr, 10);
    outcome.unchanged = std::strtoull(PQgetvalue(counted.get(), 0, 1), nullptr, 10);
    for (const std::string* statement : {&merge_->upsert, &merge_->clear}) {
        const Result done = Exec(connection, statement->c_str(), Deadline());
        if (!done || PQresultStatus(done.get()) != PGRES_COMMAND_OK)
            return failed(done);
    }
    return outcome;
}

Clock::time_point CopyWriter::Deadline() const {
    return Clock::now() + std::chrono::seconds(connection_.settings().commandTimeoutSeconds);
}

WriteOutcome CopyWriter::Write(const RowBatch& batch, std::size_t first, std::size_t last,
                               std::atomic<long long>& sent) {
    if (connection_.Broken() && !connection_.Reopen())
        return {Kind::kUnusable, 0, std::nullopt, std::nullopt};
    WriteOutcome outcome = WriteRun(batch, first, last, sent);
    if (outcome.kind == Kind::kUnusable && outcome.error && outcome.error->connectionLost()) {
        // Nothing of the run was committed (no COMMIT went out). The network may be all
        // that failed: with a new connection the run is simply tried again; without one the
        // table stops.
        if (connection_.Reopen())
            outcome.kind = Kind::kTransient;
        outcome.written = 0;
    }
    return outcome;
}

// Whatever stops the run half-way leaves none of its rows in and the connection ready for
// the next command.
WriteOutcome CopyWriter::Abandon(WriteOutcome outcome) {
    PGconn* connection = connection_.get();
    if (PQstatus(connection) == CONNECTION_OK && !Command(connection, "ROLLBACK", Deadline())) {
        outcome.kind = Kind::kUnusable;
        outcome.error = NoAnswer(connection);
    }
    if (PQstatus(connection) != CONNECTION_OK) {
        outcome.kind = Kind::kUnusable;
        if (!outcome.error || !outcome.error->connectionLost())
            outcome.error = NoAnswer(connection);
    }
    outcome.written = 0;
    return outcome;
}

WriteOutcome CopyWriter::Lost() const {
    return WriteOutcome{Kind::kUnusable, 0, std::nullopt, NoAnswer(connection_.get())};
}

// BEGIN, and the transaction's id, to learn after a lost COMMIT answer whether it
// committed. False when the connection failed.
bool CopyWriter::Begin(std::string& transaction) {
    PGconn* connection = connection_.get();
    if (!Command(connection, "BEGIN", Deadline()))
        return false;
    const Result id = Exec(connection, "SELECT txid_current()", Deadline());
    if (!id)
        return false;
    if (PQresultStatus(id.get()) == PGRES_TUPLES_OK && PQntuples(id.get()) == 1)
        transaction = PQgetvalue(id.get(), 0, 0);
    return true;
}

// A piece refused at the named row: its rows before that one go in again. Written, with
// the rows of the piece now in, or what ends the run.
WriteOutcome CopyWriter::RowsBeforeRefused(const RowBatch& batch, std::size_t piece,
                                           std::size_t end, const WriteOutcome& refused,
                                           std::atomic<long long>& sent) {
    PGconn* connection = connection_.get();
    if (!Command(connection, "ROLLBACK TO SAVEPOINT piece", Deadline()))
        return Lost();
    if (!refused.failedRow || *refused.failedRow <= piece || *refused.failedRow >= end)
        return {Kind::kWritten, 0, std::nullopt, std::nullopt};
    const WriteOutcome again = Copy(batch, piece, *refused.failedRow, sent);
    if (again.kind == Kind::kWritten)
        return {Kind::kWritten, *refused.failedRow - piece, std::nullopt, std::nullopt};
    if (again.kind == Kind::kUnusable || again.kind == Kind::kTransient)
        return again;
    if (!Command(connection, "ROLLBACK TO SAVEPOINT piece", Deadline()))
        return Lost();
    return {Kind::kWritten, 0, std::nullopt, std::nullopt};
}

WriteOutcome CopyWriter::WriteRun(const RowBatch& batch, std::size_t first, std::size_t last,
                                  std::atomic<long long>& sent) {
    PGconn* connection = connection_.get();
    std::string transaction;
    if (!Begin(transaction))
        return Abandon(Lost());
    // The staging table goes with the session: a new connection makes it again.
    if (merge_ && !Command(connection, merge_->createStaging.c_str(), Deadline()))
        return Abandon(Lost());
    // The rows of the run that are in: merged and committed.
    const auto commit = [&](std::size_t rows) {
        WriteOutcome merged{Kind::kWritten, rows, std::nullopt, std::nullopt};
        if (merge_ && rows > 0) {
            merged = Merge(rows);
            if (merged.kind != Kind::kWritten)
                return Abandon(merged);
        }
        WriteOutcome committed = Commit(transaction, rows);
        committed.inserted = merged.inserted;
        committed.unchanged = merged.unchanged;
        return committed;
    };
    for (std::size_t piece = first; piece < last;) {
        const std::size_t end = std::min(last, piece + kPieceRows);
        if (!Command(connection, "SAVEPOINT piece", Deadline()))
            return Abandon(Lost());
        const WriteOutcome outcome = Copy(batch, piece, end, sent);
        if (outcome.kind == Kind::kUnusable || outcome.kind == Kind::kTransient)
            return Abandon(outcome);
        if (outcome.kind == Kind::kWritten) {
            if (!Command(connection, "RELEASE SAVEPOINT piece", Deadline()))
                return Abandon(Lost());
            piece = end;
            continue;
        }
        // Refused: the rows before the refused one go in, and the run ends there, committed.
        const WriteOutcome before = RowsBeforeRefused(batch, piece, end, outcome, sent);
        if (before.kind != Kind::kWritten)
            return Abandon(before);
        const std::size_t in = piece + before.written;
        WriteOutcome committed = commit(in - first);
        if (committed.kind != Kind::kWritten)
            return committed;
        committed.kind = Kind::kRejected;
        committed.failedRow = outcome.failedRow;
        committed.error = outcome.error;
        return committed;
    }
    return commit(last - first);
}

// Commits the run of `rows` rows. A COMMIT that answers ROLLBACK or an error (a deferred
// check) took every row of the run with it.
WriteOutcome CopyWriter::Commit(const std::string& transaction, std::size_t rows) {
    PGconn* connection = connection_.get();
    const Result result = Exec(connection, "COMMIT", Deadline());
    if (!result || PQstatus(connection) != CONNECTION_OK) {
        // The COMMIT may or may not have happened: ask the server on a new connection.
        return Resolve(transaction, rows);
    }
    if (PQresultStatus(result.get()) == PGRES_COMMAND_OK &&
        std::string_view(PQcmdStatus(result.get())) == "COMMIT")
        return {Kind::kWritten, rows, std::nullopt, std::nullopt};
    WriteOutcome refused{Kind::kRejected, 0, std::nullopt, std::nullopt};
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        refused.error = ErrorOf(result.get(), connection);
        if (IsTransient(*refused.error))
            refused.kind = Kind::kTransient;
    }
    return refused;
}

WriteOutcome CopyWriter::Resolve(const std::string& transaction, std::size_t rows) {
    const adodb::Error lostAnswer = NoAnswer(connection_.get());
    WriteOutcome unknown{Kind::kCommitUnknown, 0, std::nullopt, lostAnswer};
    if (transaction.empty())
        return unknown;
    const auto until = Clock::now() + kResolveSeconds;
    while (Clock::now() < until) {
        std::unique_ptr<PostgresCopyConnection> asker =
            PostgresCopyConnection::Open(connection_.values(), connection_.settings());
        if (!asker) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            continue;
        }
        const std::string query = "SELECT txid_status(" + transaction + ")";
        const Result status =
            Exec(asker->get(), query.c_str(), Clock::now() + std::chrono::seconds(10));
        if (!status || PQresultStatus(status.get()) != PGRES_TUPLES_OK ||
            PQntuples(status.get()) != 1 || PQgetisnull(status.get(), 0, 0)) {
            return unknown;
        }
        const std::string_view answer = PQgetvalue(status.get(), 0, 0);
        if (answer == "committed")
            return {Kind::kWritten, rows, std::nullopt, std::nullopt};
        if (answer == "aborted") {
            // Not in: the run may go again, over a new connection.
            connection_.Reopen();
            return {Kind::kTransient, 0, std::nullopt, lostAnswer};
        }
        // Still in progress: the server has not yet seen the connection go.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return unknown;
}

WriteOutcome CopyWriter::Copy(const RowBatch& batch, std::size_t first, std::size_t last,
                              std::atomic<long long>& sent) {
    PGconn* connection = connection_.get();
    {
        const Result started = Exec(connection, statement_.c_str(), Deadline());
        if (!started)
            return {Kind::kUnusable, 0, std::nullopt, NoAnswer(connection)};
        if (PQresultStatus(started.get()) != PGRES_COPY_IN) {
            // COPY itself was refused (rights, a table unlike the one created): the rows go
            // through the driver instead.
            adodb::Error error = ErrorOf(started.get(), connection);
            if (IsTransient(error))
                return {Kind::kTransient, 0, std::nullopt, error};
            return {Kind::kUnusable, 0, std::nullopt,
                    error.connectionLost() ? std::optional<adodb::Error>(error) : std::nullopt};
        }
    }
    buffer_.Clear();
    long long pending = 0;
    const std::size_t columns = batch.Columns();
    const auto send = [&] {
        if (!PutCopyData(connection, buffer_.View(), Deadline()))
            return false;
        buffer_.Clear();
        return true;
    };
    for (std::size_t row = first; row < last; ++row) {
        for (std::size_t column = 0; column < columns; ++column) {
            if (column > 0)
                buffer_.Add('\t');
            const std::optional<std::string_view> value = batch.Value(row, column);
            // A bytea's hex digits, in bytea's hex form: \x before them (a backslash,
            // doubled for COPY).
            if (value && column < binary_.size() && binary_[column])
                buffer_.Add("\\\\x");
            if (!value || value->size() <= kSendBytes) {
                buffer_.AddValue(value);
                if (buffer_.Size() >= kSendBytes && !send())
                    return Finish(connection, table_, true, first, Deadline());
                continue;
            }
            // A large value goes in slices; escapes never span two bytes of the source.
            for (std::size_t at = 0; at < value->size(); at += kSendBytes) {
                buffer_.AddEscaped(value->substr(at, kSendBytes));
                if (buffer_.Size() >= kSendBytes && !send())
                    return Finish(connection, table_, true, first, Deadline());
            }
        }
        buffer_.Add('\n');
        ++pending;
        if (buffer_.Size() >= kSendBytes || row + 1 == last) {
            if (!send())
                return Finish(connection, table_, true, first, Deadline());
            sent += pending;
            pending = 0;
        }
    }
    buffer_.Trim(4 * kSendBytes);
    return Finish(connection, table_, false, first, Deadline());
}

}  // namespace korvanta
