#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sql/Side.h"

namespace korvanta {

// What a target column takes without changing it, beyond text: a DATE column of
// PostgreSQL keeps a day and nothing else.
enum class ValueRule {
    kText,    // any text the target can store
    kDate,    // a day: no time of day other than midnight, no day that depends on the load
    kMoment,  // a time or timestamp: no moment that depends on the load
};

// Why the target cannot hold this text exactly, in the words PostgreSQL uses for the same
// fault; nullopt when it can. Text must be valid UTF-8 (both databases store UTF-8), and
// PostgreSQL text cannot hold a NUL character. Such a value is never mended on the way:
// its row is refused and reported.
std::optional<std::string> UnstorableText(std::string_view text, Side target);

// Why a DATE column would change this value, nullopt when it keeps its meaning. The
// server drops a time of day silently ("2024-01-05 13:45" becomes 2024-01-05) and turns
// "now", "today", "tomorrow" and "yesterday" into the day of the load; a value that is
// not a date at all is left for the server to refuse.
std::optional<std::string> DateChangesValue(std::string_view text);
// Why a time or timestamp column would change this value: "now", "today", "tomorrow" and
// "yesterday" become the moment of the load.
std::optional<std::string> MomentChangesValue(std::string_view text);

// Why a value cannot go into the target column unchanged, with the SQLSTATE of the fault
// (22021 text the database cannot hold, 22007 a date it would change).
struct ValueProblem {
    std::string message;
    const char* state;
};
// UnstorableText, then the column's rule.
std::optional<ValueProblem> UnstorableValue(std::string_view text, Side target, ValueRule rule);

}  // namespace korvanta
