#include "engine/rows/TransientFailure.h"

#include <algorithm>
#include <string_view>

#include "sql/dialect/Dialect.h"

namespace korvanta {

// The error may come from either side: any database's rule for a lock conflict decides.
bool IsTransient(const adodb::Error& error) {
    const std::string_view state = error.state();
    // A dead connection keeps the native code of the failure that revealed it (see
    // adodb/Diagnostics.cpp), so class 08 must win over any code below.
    if (state.substr(0, 2) == "08")
        return false;
    for (const auto& dialect : EveryDialect()) {
        if (dialect->LockConflict(state, error.native()))
            return true;
    }
    return false;
}

std::chrono::milliseconds RetryDelay(int attempt) {
    std::chrono::milliseconds delay = kFirstRetryDelay;
    for (int i = 1; i < attempt && delay < kLongestRetryDelay; ++i)
        delay *= 2;
    return std::min(delay, kLongestRetryDelay);
}

}  // namespace korvanta
