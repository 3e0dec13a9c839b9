#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sql/model/Side.h"

namespace korvanta {

// What a target column is, as far as its values go: what it keeps of a text it is given,
// and how two of its values compare.
enum class ValueKind {
    kText,         // any text, kept byte for byte
    kInteger,      // a whole number
    kDecimal,      // an exact decimal number
    kFloat,        // a binary floating-point number
    kBoolean,      // true or false
    kDate,         // a day
    kTime,         // a time of day
    kTimestamp,    // a day and a time of day, no zone
    kTimestampTz,  // an instant
    kUuid,         // a universally unique identifier
    kBinary,       // bytes, as hexadecimal digits
};

struct ValueRule {
    ValueKind kind = ValueKind::kText;
    int fractionDigits = 6;  // kTime, kTimestamp, kTimestampTz: digits of a second kept
};

// Why the target cannot hold this text exactly, in the words PostgreSQL uses for the same
// fault; nullopt when it can. Text must be valid UTF-8 (both databases store UTF-8), and
// PostgreSQL text cannot hold a NUL character. Such a value is never mended on the way:
// its row is refused and reported.
std::optional<std::string> UnstorableText(std::string_view text, Side target);

// Why a value cannot go into the target column unchanged, with the SQLSTATE of the fault
// (22021 text the database cannot hold, 22007 a date or time it would change, 22003 a
// number it would change).
struct ValueProblem {
    std::string message;
    const char* state;
};
// UnstorableText, then the column's rule: a PostgreSQL date, time or timestamp column
// changes some values it takes without a word (a time of day dropped by a date column, a
// zone dropped by a timestamp column, "now" resolved at load time, digits of a second
// rounded away), as PostgreSQL's own date/time input reads them; a decimal column on any
// side keeps a negative zero as zero.
std::optional<ValueProblem> UnstorableValue(std::string_view text, Side target, ValueRule rule);

// One text for all texts that mean the same value of the kind, so that values compare as
// the target's type compares them: "19000" and "19000.00" as decimals, "t" and "1" as
// booleans, "2024-02-29 23:59:59.000" and "2024-02-29 23:59:59" as timestamps, a double's
// texts by the double they read as. A text that is no such value stays as it is.
std::string ComparableValue(std::string_view text, ValueRule rule);

}  // namespace korvanta
