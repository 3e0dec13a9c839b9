#pragma once

#include <climits>
#include <optional>
#include <string>
#include <string_view>

#include "sql/model/Schema.h"

// Pieces of catalog text every database writes alike, for the dialects' readers of types
// and defaults. Pure.
namespace korvanta::catalogtext {

std::string Lower(std::string_view text);
std::string_view Trim(std::string_view text);
bool StartsWith(std::string_view text, std::string_view prefix);
// A scale no declaration gave.
constexpr int kNoScale = INT_MIN;

// The numbers between the first parentheses: "(12,2)" gives 12 and 2; -1 where there is no
// first, kNoScale where there is no second.
void Modifiers(std::string_view text, int& first, int& second);

// A type of the kind, under the source's own name.
ColumnType Of(TypeKind kind, std::string_view name, int length = -1);
// A time or timestamp with the digits of its fractions of a second, when given.
ColumnType Fraction(TypeKind kind, std::string_view name, int digits);
// A number of the precision (-1: any) and scale (kNoScale: 0), the scale as given: PostgreSQL
// takes one below 0 or above the precision.
ColumnType Numeric(std::string_view name, int precision, int scale);

// A declaration's pieces: "word(n)"; a time or timestamp with its digits of a second when
// given, then `rest`; "word(p,s)".
std::string Sized(std::string_view word, int n);
std::string Fractional(std::string_view word, const ColumnType& type, std::string_view rest = {});
std::string Decimal(std::string_view word, const ColumnType& type);
// Whether the number's scale lies between 0 and its precision, as most databases ask.
bool OrdinaryScale(const ColumnType& type);

// A default every database writes alike: a string, a number, a truth value, the current
// date, time or timestamp in their common spellings; kOther for anything else. `original`
// is kept as the default's own text.
ColumnDefault CommonDefault(std::string_view text, std::string_view original);
// The text as one string between `quote`s (two standing for one), as a string default;
// nullopt when it is anything else.
std::optional<ColumnDefault> QuotedDefault(std::string_view text, char quote,
                                           std::string_view original);
// PostgreSQL's trailing casts taken off ("'n/a'::text", "'1'::integer"), and parentheses
// around the whole.
std::string_view WithoutCasts(std::string_view text);

}  // namespace korvanta::catalogtext
