#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sql/model/Side.h"

namespace korvanta {

// The one rule by which two table names are the same table "ignoring letter case": both
// in lower case, compared exactly. The overwrite check and the choice of the target's own
// spelling use it alike, so they can never disagree.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
std::string LowerCaseName(std::string_view name);

// A side's table names, looked up by that rule in constant time: each name is lowered once,
// when it comes, not again for every table a send looks up (a send of thousands of tables
// would otherwise lower millions of names).
class CaseBlindNames {
  public:
    CaseBlindNames() = default;
    explicit CaseBlindNames(const std::vector<std::string>& names);
    void Add(const std::string& name);
    // Forgets every entry spelled exactly so.
    void Remove(const std::string& name);
    bool Contains(std::string_view name) const;
    // The spelling of the entry added last among those that are `name` ignoring case.
    std::optional<std::string> Spelling(std::string_view name) const;

  private:
    std::unordered_map<std::string, std::vector<std::string>> byLowerCase_;  // in added order
};

// The name as the target will store it, by its dialect's rules: towards PostgreSQL cut to 63
// bytes at a character boundary, as the server cuts it; towards SQL Anywhere unchanged (a
// name it refuses is refused by its CREATE). A run works under this
// name from the start, so that the overwrite question, DROP, CREATE and the list see the
// table that will really be written.
std::string StoredTableName(Side target, std::string_view name);

// Raises adodb::Error, naming both, when the side would store a new name other than it is
// given (PostgreSQL would cut it) or refuse it (SQL Anywhere's 128 bytes), so that a rename
// never leaves a table under a name nobody asked for.
void RequireNameKept(Side side, std::string_view name);

}  // namespace korvanta
