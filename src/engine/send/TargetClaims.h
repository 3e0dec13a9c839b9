#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace korvanta {

// The target tables that the sends of one run have written, so that two source tables
// whose names the target folds onto one table (PostgreSQL keeps 63 bytes of a name; the
// lists, SQL Anywhere and SQLite compare names without regard to letter case) are never
// merged into it. Shared by the jobs of a run; safe to use from their threads.
class TargetClaims {
  public:
    // Claims the target table (its name as the target stores it) for the source table.
    // Returns the source table that claimed the same target table before, or nothing when
    // none did (the claim is then made).
    std::optional<std::string> Claim(std::string_view target, std::string_view source);

  private:
    std::mutex mutex_;
    std::map<std::string, std::string> claims_;  // folded target name -> source table
};

}  // namespace korvanta
