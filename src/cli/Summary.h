#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvanta::cli {

// How a table of a send ended, as the summary names it.
enum class TableStatus {
    kOk,            // every row landed
    kRefused,       // read to its end; some rows were refused
    kSkipped,       // the target's table was kept
    kStopped,       // stopped as asked (an interrupt, --if-exists stop)
    kFailed,        // cut short, or its target table could not be made
    kVerifyFailed,  // the target does not hold what was written
    kNotStarted,    // the run stopped before it
    kPlanned,       // a dry run: its statements were told, none was run
    kIncomplete,    // every row is there, but a key, index, numbering or foreign key is not
    kDoneBefore,    // --resume: the stopped send finished it; left as it is
};
std::string_view StatusWord(TableStatus status);

// One table's line: read is always landed plus refused.
struct SummaryLine {
    std::string table;
    std::string target;  // the table written, where its name is not the source table's
    TableStatus status = TableStatus::kNotStarted;
    long long landed = 0;
    long long refused = 0;
    long long counted = -1;  // rows the source held when counted; -1 unknown
    double seconds = 0;
    // An exact copy: what of the table's schema was carried, and what not and why (shown
    // under the table's line too).
    std::vector<std::string> carried;
    std::vector<std::string> notCarried;
    // Rows sent into a table that stood there: "truncate", "append" or "merge"; empty when
    // the send made the table. A merge's landed rows are inserted + updated + unchanged.
    std::string into;
    long long inserted = 0;
    long long updated = 0;
    long long unchanged = 0;
    // --delete-missing: the source's keys compared, and the target's rows deleted (-1: none
    // were, the comparison did not happen).
    long long keysCompared = 0;
    long long deleted = -1;
    // --resume: the rows the target held when the copy went on after them (-1: it did not),
    // or the copy made again from its start for want of a key.
    long long resumedAfter = -1;
    bool restarted = false;
    long long Read() const noexcept { return landed + refused; }
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
