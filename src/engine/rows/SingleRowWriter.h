#pragma once

#include <optional>
#include <string>

#include "adodb/Connection.h"
#include "adodb/Error.h"
#include "engine/rows/FailurePolicy.h"

namespace korvanta {

// Writes one row as an INSERT of its own, committed on its own: the way a row goes that
// its run refused, and every row when the settings ask for it or no run writer serves.
// A lock or a busy database is waited out within the table's budget.
class SingleRowWriter {
  public:
    SingleRowWriter(adodb::Connection& target, TransientBudget& budget)
        : target_(target), budget_(budget) {}

    struct Outcome {
        enum class Kind {
            kLanded,     // the row is in
            kRefused,    // the target refused the row (its own fault): the copy goes on
            kStop,       // the table cannot go on (a wait used up, the writer unusable)
            kUncertain,  // the answer was lost: the row may have landed
        };
        Kind kind = Kind::kLanded;
        std::optional<adodb::Error> error;
    };
    Outcome Write(const std::string& statement);

  private:
    adodb::Connection& target_;
    TransientBudget& budget_;
};

}  // namespace korvanta
