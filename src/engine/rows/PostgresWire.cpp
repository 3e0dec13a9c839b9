#include "engine/rows/PostgresWire.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace korvanta::wire {

bool WaitSocket(PGconn* connection, bool write, Clock::time_point deadline) {
    const int socket = PQsocket(connection);
    if (socket < 0)
        return false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd ready{socket, static_cast<short>(POLLIN | (write ? POLLOUT : 0)), 0};
        const int answer = poll(&ready, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (answer > 0)
            return true;
        if (answer < 0 && errno != EINTR)
            return false;
    }
}

bool Flush(PGconn* connection, Clock::time_point deadline) {
    for (;;) {
        const int pending = PQflush(connection);
        if (pending == 0)
            return true;
        if (pending < 0 || !WaitSocket(connection, true, deadline) || !PQconsumeInput(connection))
            return false;
    }
}

Result NextResult(PGconn* connection, Clock::time_point deadline, bool& failed) {
    while (PQisBusy(connection)) {
        if (!WaitSocket(connection, false, deadline) || !PQconsumeInput(connection)) {
            failed = true;
            return nullptr;
        }
    }
    return Result{PQgetResult(connection)};
}

Result Exec(PGconn* connection, const char* sql, Clock::time_point deadline) {
    if (!PQsendQuery(connection, sql) || !Flush(connection, deadline))
        return nullptr;
    Result kept;
    for (;;) {
        bool failed = false;
        Result result = NextResult(connection, deadline, failed);
        if (failed)
            return nullptr;
        if (!result)
            return kept;
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT)
            return result;
        if (!kept || PQresultStatus(kept.get()) == PGRES_COMMAND_OK ||
            PQresultStatus(kept.get()) == PGRES_TUPLES_OK)
            kept = std::move(result);
    }
}

bool Command(PGconn* connection, const char* sql, Clock::time_point deadline) {
    const Result result = Exec(connection, sql, deadline);
    return result && PQresultStatus(result.get()) == PGRES_COMMAND_OK;
}

bool PutCopyData(PGconn* connection, std::string_view data, Clock::time_point deadline) {
    for (;;) {
        const int queued = PQputCopyData(connection, data.data(), static_cast<int>(data.size()));
        if (queued == 1)
            return Flush(connection, deadline);
        if (queued < 0 || !WaitSocket(connection, true, deadline) || !PQconsumeInput(connection) ||
            PQflush(connection) < 0)
            return false;
    }
}

adodb::Error ErrorOf(const PGresult* result, PGconn* connection) {
    const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char* message =
        result != nullptr ? PQresultErrorMessage(result) : PQerrorMessage(connection);
    std::string text = message != nullptr ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (state == nullptr || PQstatus(connection) != CONNECTION_OK) {
        if (text.empty())
            text = "The server did not answer in time.";
        return adodb::Error(text, "08006");
    }
    return adodb::Error(text, state);
}

adodb::Error NoAnswer(PGconn* connection) {
    std::string text = PQstatus(connection) == CONNECTION_OK
                           ? std::string("The server did not answer in time.")
                           : std::string(PQerrorMessage(connection));
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return adodb::Error(text, "08006");
}

}  // namespace korvanta::wire
