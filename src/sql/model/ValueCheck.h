#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "adodb/Error.h"

namespace korvanta {

// What a target column is, as far as its values go: what it keeps of a text it is given,
// and how two of its values compare.
enum class ValueKind {
    kText,         // any text, kept byte for byte
    kPaddedText,   // text of a fixed length: trailing blanks do not count
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
    // kText: the source's bytes go into it as their hex digits (the simple mode's text column
    // for a binary source column).
    bool bytesAsHex = false;
    int length = -1;     // kText, kPaddedText: the most characters it holds; -1 any number
    int precision = -1;  // kDecimal: its digits; -1 any number
    int scale = -1;      // kDecimal: digits after the point (negative: zeros before it); -1 any
    // Declared by the simple mode's few type words (TEXT, NUMERIC, ...), which each database
    // keeps its own way (SQL Anywhere's NUMERIC is NUMERIC(30,6)).
    bool simpleColumn = false;
};

// What a target column makes of a source value whose kind is not its column's, where the
// source keeps each value's kind apart from its column's declaration (SQLite's storage
// classes: a BLOB in a TEXT column, a text in a BLOB column).
enum class ValueForm : std::uint8_t {
    kText,   // the column holds text: a value held as bytes is refused
    kBytes,  // the column holds bytes: every value goes as its bytes (hex digits)
    kHex,    // text, with a value held as bytes as its hex digits
};
ValueForm FormOf(ValueRule rule);

// A source value that cannot go into its target column as what it is (bytes into a text
// column): its row is refused and reported where it stands among the rows.
class UnreadableValue : public adodb::Error {
  public:
    using adodb::Error::Error;
};

// Why a value cannot go into a column unchanged, with the SQLSTATE of the fault (22021
// text the database cannot hold, 22007 a date or time it would change, 22003 a number it
// would change). Such a value is never mended on the way: its row is refused and reported.
struct ValueProblem {
    std::string message;
    const char* state;
};

// Text that is not valid UTF-8 (both databases store UTF-8), or that holds a NUL where
// the database cannot hold one (`nulAllowed` false: PostgreSQL), in the words PostgreSQL
// uses for the same fault.
std::optional<ValueProblem> TextProblem(std::string_view text, bool nulAllowed);
// A negative zero in a decimal column, which keeps it as 0; a number with more digits after
// the point than the column's scale, which it would round.
std::optional<ValueProblem> DecimalProblem(std::string_view text, ValueRule rule);
// A text longer than its column whose characters past the length are all blanks, which
// PostgreSQL cuts off without a word (any other text too long it refuses itself).
std::optional<ValueProblem> BlanksPastLength(std::string_view text, ValueRule rule);
// A date, time or timestamp that a PostgreSQL column of the rule's kind would change (a
// time of day dropped by a date column, a zone dropped by a timestamp column, "now"
// resolved at load time, digits of a second rounded away), as PostgreSQL's own date/time
// input reads it.
std::optional<ValueProblem> TemporalProblem(std::string_view text, ValueRule rule);

// A decimal number's plain text ("+019000.00" and "1.9e4" give "19000"); nullopt for a text
// that is no decimal number.
std::optional<std::string> PlainDecimal(std::string_view text);

// One text for all texts that mean the same value of the kind, so that values compare as
// the target's type compares them: "19000" and "19000.00" as decimals, "t" and "1" as
// booleans, "2024-02-29 23:59:59.000" and "2024-02-29 23:59:59" as timestamps, a double's
// texts by the double they read as. A text that is no such value stays as it is.
std::string ComparableValue(std::string_view text, ValueRule rule);

}  // namespace korvanta
