#pragma once

#include <string>

namespace korvanta {

// A column's type in terms of no database in particular.
enum class TypeKind {
    kSmallInt,     // 16-bit integer
    kInteger,      // 32-bit integer
    kBigInt,       // 64-bit integer
    kNumeric,      // exact decimal, with or without precision and scale
    kReal,         // 4-byte floating point
    kDouble,       // 8-byte floating point
    kChar,         // fixed length, in characters, padded with blanks
    kVarChar,      // variable length, in characters
    kText,         // text of any length
    kBinary,       // bytes of any length
    kDate,         // a day
    kTime,         // a time of day
    kTimestamp,    // a day and a time of day, no zone
    kTimestampTz,  // an instant
    kBoolean,
    kUuid,
    kOther,  // no counterpart: goes as text that keeps the value
};

struct ColumnType {
    TypeKind kind = TypeKind::kText;
    int length = -1;     // kChar, kVarChar: characters; -1 when none is given
    int precision = -1;  // kNumeric: digits; -1 unconstrained. Time kinds: digits of a second
    int scale = -1;      // kNumeric: digits after the point (may be negative or above the
                         // precision, as PostgreSQL allows); -1 unconstrained
    std::string name;    // the source's own name of the type
};

}  // namespace korvanta
