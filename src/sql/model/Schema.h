#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sql/model/ColumnType.h"
#include "sql/model/Expression.h"

namespace korvanta {

// A table as a database's own catalog describes it, in terms of no database in
// particular: what an exact copy carries from one side to the other.

// An expression as the source wrote it, and its tree where it could be read; `unread`
// says why it could not.
struct SourceExpression {
    std::string text;
    std::optional<Expr> tree;
    std::string unread;

    bool empty() const { return text.empty(); }
};

// A column's default, as far as a copy can carry it.
struct ColumnDefault {
    enum class Kind {
        kNone,
        kLiteral,           // a constant: `literal` is its value
        kCurrentDate,       // the day of the insert
        kCurrentTime,       // the time of the insert
        kCurrentTimestamp,  // the moment of the insert
        kExpression,        // an expression of constants: `expression` holds it
        kOther,             // an expression of the source's own: not carried
    };
    Kind kind = Kind::kNone;
    std::string literal;    // kLiteral: the value as text (a string without its quotes)
    bool isString = false;  // kLiteral: written between apostrophes
    std::string text;       // the source's own text of the default
    int precision = -1;     // kCurrentTime, kCurrentTimestamp: digits of a second asked for
    bool utc = false;       // a clock's date or time in UTC, not local (SQLite's clocks)
    std::optional<Expr> expression;  // kExpression
    // kOther: why it is not carried, when more can be said than "no counterpart".
    std::string why;
};

// How a column's text compares where it is not as the database compares by default.
struct Collation {
    enum class Kind {
        kDefault,
        kIgnoringCase,  // letters equal whatever their case (SQLite's NOCASE, a
                        // nondeterministic ICU collation of secondary strength)
        kOther,         // a collation of the source's own: `name`
    };
    Kind kind = Kind::kDefault;
    std::string name;  // the source's name for it
};

struct ColumnSchema {
    std::string name;
    ColumnType type;
    bool notNull = false;
    ColumnDefault defaultValue;
    bool identity = false;        // identity, serial, AUTOINCREMENT: numbered by the database
    bool identityAlways = false;  // numbered by the database only: a value given is refused
    bool generated = false;       // computed from other columns: carried as its values only
    Collation collation;
};

// Where an index key puts its NULLs, when its definition says so; kDefault: the database's
// own order for the direction, which differs between databases and is not carried.
enum class NullsOrder { kDefault, kFirst, kLast };

struct IndexKey {
    std::string column;  // empty for an expression
    bool descending = false;
    NullsOrder nulls = NullsOrder::kDefault;
    SourceExpression expression;  // the key when it is an expression, not a column
};

struct IndexSchema {
    std::string name;
    std::vector<IndexKey> keys;
    bool unique = false;
    bool constraint = false;     // a UNIQUE constraint rather than an index of its own
    SourceExpression predicate;  // a partial index's condition
    // The source made its name up itself (SQLite's sqlite_autoindex_...): it means nothing
    // on another database, and is named in reports only.
    bool automatic = false;
    // The source's access method when it is not an ordinary btree ("gist", "hash").
    std::string method;
    bool nullsNotDistinct = false;  // a unique index under which NULLs are equal
};

// A CHECK constraint, table's or domain's, in the source's SQL.
struct CheckSchema {
    std::string name;  // empty: unnamed
    SourceExpression expression;
    std::string domain;  // the domain whose CHECK it is, on the column `column`
    std::string column;
};

enum class ReferentialAction { kNoAction, kRestrict, kCascade, kSetNull, kSetDefault };

struct ForeignKeySchema {
    std::string name;
    std::vector<std::string> columns;
    std::string table;  // the table referred to
    std::vector<std::string> referencedColumns;
    ReferentialAction onDelete = ReferentialAction::kNoAction;
    ReferentialAction onUpdate = ReferentialAction::kNoAction;
    bool deferrable = false;
    bool initiallyDeferred = false;
    bool matchFull = false;  // a key with some columns NULL refers to nothing: all or none
};

struct TableSchema {
    std::string name;
    std::vector<ColumnSchema> columns;
    std::vector<std::string> primaryKey;  // its columns in key order; empty: none
    std::string primaryKeyName;
    std::vector<IndexSchema> indexes;
    std::vector<ForeignKeySchema> foreignKeys;
    std::vector<CheckSchema> checks;
    std::vector<std::string> notes;  // what the source's catalog gave that no copy carries
};

}  // namespace korvanta
