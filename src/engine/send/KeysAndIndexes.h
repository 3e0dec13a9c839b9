#pragma once

#include <string>
#include <string_view>

#include "adodb/Connection.h"
#include "adodb/Error.h"
#include "engine/rows/FailurePolicy.h"
#include "sql/statements/TablePlan.h"

namespace korvanta {

// What became of one statement that builds part of a table (NOT NULL, a key, an index,
// the numbering, a foreign key).
struct StepResult {
    enum class Kind {
        kMade,            // it is on the target
        kRowsBreakIt,     // refused, and `breaking` rows break it (they stay)
        kRefused,         // refused for another reason: the database's `message`
        kConnectionLost,  // the connection went: no later step can run either
    };
    Kind kind = Kind::kMade;
    long long breaking = 0;
    std::string message;  // what the database said

    bool Made() const noexcept { return kind == Kind::kMade; }
    // Why it was not made, for the summary: "3 rows break it", "the database refused it".
    std::string Why() const;
};

// Runs the step, waiting out a lock as other statements do; then, should it fail, the same
// without the source's name for it (the name may be taken); then counts the rows that
// break it, when the step can count them.
StepResult RunSchemaStep(adodb::Connection& target, const SchemaStep& step, TransientBudget budget);

// The report of a step not made: "The primary key (id) of table "t" could not be made: 3
// rows break it." and the database's own words.
adodb::Error StepFailure(const SchemaStep& step, std::string_view table, const StepResult& result);

}  // namespace korvanta
