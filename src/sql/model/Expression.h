#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sql/model/ColumnType.h"

namespace korvanta {

// A small SQL expression as a tree, in terms of no database in particular: what a CHECK
// constraint, a partial index's condition, an index key or a default says, read from one
// database's text so that another's can be written from it.
struct Expr {
    enum class Kind {
        kColumn,   // text: the column's name
        kString,   // text: the value
        kNumber,   // text: the number as written
        kBoolean,  // text: "true" or "false"
        kNull,
        kCast,      // args[0] cast to `type`; text: the source's name of the type
        kUnary,     // text: "NOT", "-" or "+"; args[0]
        kBinary,    // text: "AND", "OR", "=", "<>", "<", "<=", ">", ">=", "+", "-", "*",
                    // "/", "%", "||"; args[0], args[1]
        kIsNull,    // args[0] IS [NOT] NULL
        kIn,        // args[0] [NOT] IN (args[1], ...)
        kBetween,   // args[0] [NOT] BETWEEN args[1] AND args[2]
        kLike,      // args[0] [NOT] LIKE args[1]; `match` says which kind of match
        kFunction,  // text: the function's name in lower case; args
    };
    // How a pattern matches: LIKE as the SQL standard has it (case counts), LIKE that
    // ignores case (PostgreSQL's ILIKE, SQLite's LIKE), or SQLite's GLOB (* and ?).
    enum class Match { kLike, kLikeIgnoringCase, kGlob };

    Kind kind = Kind::kNull;
    std::string text;
    std::vector<Expr> args;
    bool negated = false;  // IS NOT NULL, NOT IN, NOT BETWEEN, NOT LIKE
    Match match = Match::kLike;
    ColumnType type;  // kCast: the type cast to, as the source's dialect reads its name
};

// How one database writes what the parser reads.
struct ExpressionSyntax {
    // '...' reads backslash escapes (SQL Anywhere); E'...' always does (PostgreSQL).
    bool backslashStrings = false;
    // LIKE ignores the case of letters (SQLite).
    bool likeIgnoresCase = false;
    // [name] quotes a name (SQLite, SQL Anywhere); else [ ] are an array's brackets.
    bool bracketNames = false;
    // A type name as the source's dialect reads it, for casts.
    std::function<ColumnType(std::string_view)> typeOf;
};

// The tree of `text`, or nullopt with `why` saying what could not be read. Reads
// PostgreSQL's catalog text (casts with ::, ~~ for LIKE, = ANY (ARRAY[...])), SQLite's and
// SQL Anywhere's: literals, names in "..", [..] or `..`, comparisons, AND, OR, NOT, IS [NOT]
// NULL, [NOT] IN, [NOT] BETWEEN, [NOT] LIKE/ILIKE/GLOB, arithmetic, || and function calls.
std::optional<Expr> ParseExpression(std::string_view text, const ExpressionSyntax& syntax,
                                    std::string& why);

// Every column reference named again by `rename` (a name for a name); false, with `why`,
// when it gives none for one of them: a name that is no column of the table.
bool RenameColumns(Expr& expr,
                   const std::function<std::optional<std::string>(std::string_view)>& rename,
                   std::string& why);

// Whether the expression refers to any column.
bool RefersToColumns(const Expr& expr);

}  // namespace korvanta
