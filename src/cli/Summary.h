#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/send/TableFate.h"

namespace korvanta::cli {

// The word the summary and its JSON give a status.
std::string_view StatusWord(TableStatus status);

// One table's line: its status and the engine's outcome (empty for a table the send never
// reached). Read is always landed plus refused.
struct SummaryLine {
    std::string table;
    TableStatus status = TableStatus::kNotStarted;
    TableOutcome outcome;
    long long Read() const noexcept { return outcome.landed + outcome.refused; }
    // The table written, where its name is not the source table's; else empty.
    std::string Target() const { return outcome.target == table ? std::string() : outcome.target; }
};

// What a send did, for standard output (a table lined up by characters) and for
// --summary-json.
struct Summary {
    std::vector<SummaryLine> lines;
    double seconds = 0;  // the whole send, from the first table to the last
    bool interrupted = false;
    long long rejectFileLost = 0;  // refused rows the reject file could not take
    int exitStatus = 0;

    std::string Text() const;
    std::string Json() const;
    // The text with every line a SQL comment ("-- "), to follow a dry run's statements.
    std::string CommentText() const;
};

}  // namespace korvanta::cli
