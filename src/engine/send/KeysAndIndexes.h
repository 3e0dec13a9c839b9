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
    std::string message;   // what the database said
    bool unnamed = false;  // made without the source's name (it was taken): the target named it

    bool Made() const noexcept { return kind == Kind::kMade; }
    // Why it was not made, for the summary: "3 rows break it", "the database refused it".
    std::string Why() const;
    // What the summary adds to a step made under a name of the target's: " (named by the
    // target)"; empty otherwise.
    std::string NameNote() const;
};

// Runs the step, waiting out a lock as other statements do; then, should it fail, the same
// without the source's name for it (the name may be taken). A refusal for what the rows
// hold (an integrity violation, SQLSTATE class 23) counts the rows that break it; any
// other keeps the database's reason. A failure that says the connection went is taken as
// such only when the connection no longer answers.
StepResult RunSchemaStep(adodb::Connection& target, const SchemaStep& step, TransientBudget budget);

// The report of a step not made: "The primary key (id) of table "t" could not be made: 3
// rows break it." and the database's own words.
adodb::Error StepFailure(const SchemaStep& step, std::string_view table, const StepResult& result);

}  // namespace korvanta
