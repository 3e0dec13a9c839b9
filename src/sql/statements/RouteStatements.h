#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sql/dialect/Dialect.h"
#include "sql/statements/ExistingTable.h"
#include "sql/statements/TableStatements.h"

namespace korvanta {

// The statements a table's route runs besides its rows (DROP TABLE: TableStatements.h).
// `table`: as the database stores it (quoted here).

std::string CountRowsQuery(std::string_view table);

// The last row in the key's order (the first of the reverse order), each key column as text.
// The texts are named apart from the columns: ORDER BY would otherwise take the name for
// the text's and order the keys as texts ("999999" before "1000000").
std::string LastKeyQuery(const Dialect& target, std::string_view table,
                         const std::vector<OrderColumn>& key);

// The last key's values as the source's literals: a text as its string, and nothing but a
// whole number for an integer. nullopt, with `problem` set, when a value is no such literal.
std::optional<std::vector<std::string>> KeyLiterals(const Dialect& source,
                                                    const std::vector<OrderColumn>& key,
                                                    const std::vector<std::string>& last,
                                                    std::string& problem);

// --since's largest value and the rows at or after it: each dialect's LargestQuery and
// AtOrAfter, which compare times as instants where a database holds them as text.

// Both conditions; either may be empty.
std::string BothConditions(const std::string& first, const std::string& second);

}  // namespace korvanta
