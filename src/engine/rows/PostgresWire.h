#pragma once

#include <chrono>
#include <memory>
#include <string_view>

#include <libpq-fe.h>

#include "adodb/Error.h"

namespace korvanta::wire {

// Bounded waits on a non-blocking libpq connection: every call gives up at its deadline,
// and a connection that gave up counts as lost.

using Clock = std::chrono::steady_clock;

struct ResultDeleter {
    void operator()(PGresult* result) const noexcept { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// Waits until the socket can be read (or written, when asked) or the deadline passes.
bool WaitSocket(PGconn* connection, bool write, Clock::time_point deadline);
// Sends what libpq holds.
bool Flush(PGconn* connection, Clock::time_point deadline);
// The next result of the command in flight; nullptr at the end of its results, or when
// the connection broke or the deadline passed (then `failed` is set).
Result NextResult(PGconn* connection, Clock::time_point deadline, bool& failed);
// Runs one command and returns its last result (its first failed one, if any); nullptr
// when the connection broke or the deadline passed. A COPY returns at once, in COPY_IN or
// COPY_OUT.
Result Exec(PGconn* connection, const char* sql, Clock::time_point deadline);
bool Command(PGconn* connection, const char* sql, Clock::time_point deadline);
bool PutCopyData(PGconn* connection, std::string_view data, Clock::time_point deadline);

// What the server said of a failed command, as the data-access layer's errors carry it.
adodb::Error ErrorOf(const PGresult* result, PGconn* connection);
// The connection gave no answer in time, or broke: lost.
adodb::Error NoAnswer(PGconn* connection);

}  // namespace korvanta::wire
