#pragma once

#include <string>
#include <vector>

namespace korvanta {

// A table as a database's own catalog describes it, in terms of no database in
// particular: what an exact copy carries from one side to the other.

enum class TypeKind {
    kSmallInt,     // 16-bit integer
    kInteger,      // 32-bit integer
    kBigInt,       // 64-bit integer
    kNumeric,      // exact decimal, with or without precision and scale
    kReal,         // 4-byte floating point
    kDouble,       // 8-byte floating point
    kChar,         // fixed length, in characters
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
    int precision = -1;  // kNumeric: digits; -1 unconstrained
    int scale = -1;      // kNumeric: digits after the point; -1 unconstrained
    std::string name;    // the source's own name of the type
};

// A column's default, as far as a copy can carry it.
struct ColumnDefault {
    enum class Kind {
        kNone,
        kLiteral,           // a constant: `literal` is its value
        kCurrentDate,       // the day of the insert
        kCurrentTime,       // the time of the insert
        kCurrentTimestamp,  // the moment of the insert
        kOther,             // an expression of the source's own: not carried
    };
    Kind kind = Kind::kNone;
    std::string literal;    // kLiteral: the value as text (a string without its quotes)
    bool isString = false;  // kLiteral: written between apostrophes
    std::string text;       // the source's own text of the default
};

struct ColumnSchema {
    std::string name;
    ColumnType type;
    bool notNull = false;
    ColumnDefault defaultValue;
    bool identity = false;   // identity, serial, AUTOINCREMENT: numbered by the database
    bool generated = false;  // computed from other columns: carried as its values only
};

struct IndexKey {
    std::string column;
    bool descending = false;
};

struct IndexSchema {
    std::string name;
    std::vector<IndexKey> keys;
    bool unique = false;
    bool constraint = false;  // a UNIQUE constraint rather than an index of its own
    std::string predicate;    // a partial index's condition, in the source's SQL
    bool expression = false;  // a key is an expression, not a column: not carried
    // The source made its name up itself (SQLite's sqlite_autoindex_...): it means nothing
    // on another database, and is named in reports only.
    bool automatic = false;
};

enum class ReferentialAction { kNoAction, kRestrict, kCascade, kSetNull, kSetDefault };

struct ForeignKeySchema {
    std::string name;
    std::vector<std::string> columns;
    std::string table;  // the table referred to
    std::vector<std::string> referencedColumns;
    ReferentialAction onDelete = ReferentialAction::kNoAction;
    ReferentialAction onUpdate = ReferentialAction::kNoAction;
};

struct TableSchema {
    std::string name;
    std::vector<ColumnSchema> columns;
    std::vector<std::string> primaryKey;  // its columns in key order; empty: none
    std::string primaryKeyName;
    std::vector<IndexSchema> indexes;
    std::vector<ForeignKeySchema> foreignKeys;
    std::vector<std::string> notes;  // what the source's catalog gave that no copy carries
};

}  // namespace korvanta
