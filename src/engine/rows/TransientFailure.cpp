#include "engine/rows/TransientFailure.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace korvanta {
namespace {

constexpr int kSqliteBusy = 5;  // SQLITE_BUSY

// SQL Anywhere SQLCODEs of lock conflicts (its ODBC driver's native code).
constexpr std::array kSqlAnywhereLockCodes = {
    -210,   // SQLE_LOCKED: User '%1' has the row in '%2' locked
    -306,   // SQLE_DEADLOCK
    -307,   // SQLE_THREAD_DEADLOCK: all threads are blocked
    -684,   // rollback occurred due to deadlock during prefetch
    -1175,  // SQLE_LOCK_TIMEOUT: unable to acquire table locks in specified time
};

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool IsTransient(const adodb::Error& error) {
    const std::string_view state = error.state();
    // A dead connection keeps the native code of the failure that revealed it (see
    // adodb/Diagnostics.cpp), so class 08 must win over any code below.
    if (StartsWith(state, "08"))
        return false;
    if (StartsWith(state, "40"))
        return state != "40002" && state != "40003";
    if (state == "55P03")
        return true;
    // SQL Anywhere's own SQLSTATEs for the lock conflicts whose ODBC state is general.
    if (state == "42W18" || state == "42WC4")
        return true;
    if ((state == "HY000" || state == "S1000") && error.native() == kSqliteBusy)
        return true;
    // No other driver gives these codes: sqliteodbc gives SQLite's result codes or -1,
    // psqlODBC its own numbers from -6 up.
    return std::find(kSqlAnywhereLockCodes.begin(), kSqlAnywhereLockCodes.end(), error.native()) !=
           kSqlAnywhereLockCodes.end();
}

std::chrono::milliseconds RetryDelay(int attempt) {
    std::chrono::milliseconds delay = kFirstRetryDelay;
    for (int i = 1; i < attempt && delay < kLongestRetryDelay; ++i)
        delay *= 2;
    return std::min(delay, kLongestRetryDelay);
}

}  // namespace korvanta
