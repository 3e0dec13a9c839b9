#pragma once

#include <chrono>

#include "adodb/Error.h"

namespace korvanta {

// True when the failure comes from another session getting in the way for a moment (a lock
// it holds, a deadlock or serialization conflict that rolled our statement back), so the
// same work may succeed when tried again after a short wait. Judged from the SQLSTATE and
// the native code only, never from the message text, which drivers translate:
//   - SQLSTATE class 40 (transaction rollback: 40001 serialization failure, 40P01 deadlock,
//     SQL Anywhere's 40W06 all threads blocked), except 40002 (an integrity constraint,
//     which fails again) and 40003 (completion unknown: a retry might apply it twice);
//   - 55P03, PostgreSQL's lock_not_available (lock_timeout, NOWAIT), also as libpq reports
//     it during COPY;
//   - SQLite's SQLITE_BUSY (another connection holds the write lock, the driver's busy
//     timeout ran out), which sqliteodbc reports as HY000 (S1000 under ODBC 2) with native 5;
//   - SQL Anywhere's lock conflicts by SQLCODE, which its ODBC driver gives as the native
//     code: -210 row or object locked (blocking off or blocking_timeout), -306 deadlock,
//     -307 all threads blocked, -684 deadlock during prefetch, -1175 LOCK TABLE timed out.
// Not transient: a lost connection (class 08, retried by reconnecting elsewhere), a timeout
// of our own (HYT00, PostgreSQL 57014), SQLite's SQLITE_LOCKED (6: sqliteodbc connections
// share no cache, so only our own open cursor causes it) and everything else.
bool IsTransient(const adodb::Error& error);

// The first wait: a lock holder that commits normally is gone within tens of milliseconds.
inline constexpr std::chrono::milliseconds kFirstRetryDelay{50};
// The longest single wait, so that a lock released meanwhile is noticed soon after.
inline constexpr std::chrono::milliseconds kLongestRetryDelay{2000};
// All waits for one piece of work together: longer than any transaction of another program
// should hold a lock, short enough that a run blocked for good fails while someone watches.
inline constexpr std::chrono::milliseconds kRetryBudget{60000};

// The wait before retry number `attempt` (1 for the first retry): kFirstRetryDelay doubled
// for each earlier attempt, at most kLongestRetryDelay. Attempts below 1 count as 1.
std::chrono::milliseconds RetryDelay(int attempt);

}  // namespace korvanta
