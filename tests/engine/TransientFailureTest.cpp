// Which database failures are worth trying again, over the SQLSTATE and native codes the
// drivers give (as observed against psqlODBC, libpq and sqliteodbc, and as SQL Anywhere's
// error reference lists them), and the waits between the tries.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>
#include <vector>

#include "adodb/Error.h"
#include "engine/rows/TransientFailure.h"

namespace {

using namespace std::chrono_literals;

struct Case {
    const char* origin;
    const char* state;
    int native;
    bool transient;
};

const std::vector<Case> kCases = {
    // psqlODBC passes the server's SQLSTATE through; native 1 for a failed statement,
    // 110 for a failed SQLEndTran.
    {"psqlODBC lock_timeout (canceling statement due to lock timeout)", "55P03", 1, true},
    {"psqlODBC deadlock detected", "40P01", 1, true},
    {"psqlODBC could not serialize access due to concurrent update", "40001", 1, true},
    {"psqlODBC serialization failure at commit", "40001", 110, true},
    {"psqlODBC generic transaction rollback", "40000", 1, true},
    {"psqlODBC deferred constraint failing at commit", "40002", 1, false},
    {"psqlODBC statement completion unknown", "40003", 1, false},
    {"psqlODBC duplicate key", "23505", 1, false},
    {"psqlODBC syntax error", "42601", 1, false},
    {"psqlODBC statement_timeout", "57014", 1, false},
    {"psqlODBC invalid column number (native 5 as SQLITE_BUSY)", "07009", 5, false},
    {"psqlODBC server gone (57P01 turned into 08S01 by adodb)", "08S01", 1, false},
    // libpq during COPY: only the SQLSTATE, no native code.
    {"libpq COPY lock_timeout", "55P03", 0, true},
    {"libpq COPY deadlock", "40P01", 0, true},
    {"libpq COPY bad data", "22P02", 0, false},
    // sqliteodbc: HY000 (S1000 under ODBC 2) with SQLite's result code as native code.
    {"sqliteodbc database is locked (SQLITE_BUSY)", "HY000", 5, true},
    {"sqliteodbc database is locked, ODBC 2 state", "S1000", 5, true},
    {"sqliteodbc database table is locked by our own cursor (SQLITE_LOCKED)", "HY000", 6, false},
    {"sqliteodbc UNIQUE constraint failed (SQLITE_CONSTRAINT)", "HY000", 19, false},
    {"sqliteodbc syntax error (SQLITE_ERROR)", "HY000", 1, false},
    {"sqliteodbc not connected", "HY000", -1, false},
    // SQL Anywhere: SQLCODE as native code; the ODBC state is matched where documented.
    {"SQL Anywhere row locked (-210) by SQLSTATE", "42W18", -210, true},
    {"SQL Anywhere row locked (-210) under a general ODBC state", "HY000", -210, true},
    {"SQL Anywhere deadlock detected", "40001", -306, true},
    {"SQL Anywhere all threads are blocked", "40W06", -307, true},
    {"SQL Anywhere all threads are blocked, general ODBC state", "HY000", -307, true},
    {"SQL Anywhere deadlock during prefetch", "HY000", -684, true},
    {"SQL Anywhere LOCK TABLE timed out", "42WC4", -1175, true},
    {"SQL Anywhere primary key not unique", "23000", -193, false},
    {"SQL Anywhere syntax error", "42000", -131, false},
    {"SQL Anywhere connection terminated", "08003", -308, false},
    // A dead connection wins over the code of the failure that revealed it.
    {"connection lost during a deadlock report", "08S01", -306, false},
    {"connection lost during SQLite busy", "08S01", 5, false},
    {"ODBC timeout expired", "HYT00", 0, false},
    {"an error of the adodb layer itself", "", 0, false},
};

TEST(TransientFailure, ClassifiesEachDriversCodes) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.origin);
        const adodb::Error error("message text is never looked at", c.state, c.native);
        EXPECT_EQ(korvanta::IsTransient(error), c.transient);
    }
}

TEST(TransientFailure, MessageTextDoesNotCount) {
    const adodb::Error worded("[SQLite]database is locked (5)", "HY000", 1);
    EXPECT_FALSE(korvanta::IsTransient(worded));
}

TEST(TransientFailure, DelayDoublesFromFirstUpToLongest) {
    const std::vector<std::pair<int, std::chrono::milliseconds>> rows = {
        {INT_MIN, 50ms}, {0, 50ms},   {1, 50ms},   {2, 100ms},  {3, 200ms},    {4, 400ms},
        {5, 800ms},      {6, 1600ms}, {7, 2000ms}, {8, 2000ms}, {100, 2000ms}, {INT_MAX, 2000ms},
    };
    for (const auto& [attempt, expected] : rows) {
        SCOPED_TRACE(attempt);
        EXPECT_EQ(korvanta::RetryDelay(attempt), expected);
    }
}

TEST(TransientFailure, BudgetHoldsManyRetriesAtTheLongestDelay) {
    std::chrono::milliseconds waited{0};
    int retries = 0;
    while (waited + korvanta::RetryDelay(retries + 1) <= korvanta::kRetryBudget)
        waited += korvanta::RetryDelay(++retries);
    // Six growing waits (3.15 s), then 2 s each for the rest of the minute.
    EXPECT_EQ(retries, 34);
    EXPECT_EQ(korvanta::RetryDelay(retries), korvanta::kLongestRetryDelay);
}

}  // namespace
