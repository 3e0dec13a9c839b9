#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

#include "adodb/Error.h"
#include "engine/connections/ConnectionValues.h"
#include "engine/rows/BatchWriter.h"
#include "engine/rows/TransientFailure.h"

namespace korvanta {

// How long transient conditions (a lock, a busy database, a deadlock) have been waited out
// for one piece of work: a table's rows, or one DROP or CREATE TABLE. Every retry of every
// writer, of a row sent alone and of those statements asks it.
struct TransientBudget {
    int attempts = 0;                     // retries so far, for the backoff
    std::chrono::milliseconds waited{0};  // pauses so far
    std::chrono::milliseconds limit{kRetryBudget};

    // The pause before the next try; nothing when it would take the waits past the limit.
    std::optional<std::chrono::milliseconds> NextPause() const;
    // Counts a pause that was taken.
    void Spend(std::chrono::milliseconds pause);
};

// The budget of waits for one table or one statement, as the settings give it.
TransientBudget BudgetFor(const TransferSettings& settings);

// Runs the action, and again after each pause the budget grants for as long as it fails
// transiently; then throws the last failure. For statements that change nothing when they
// fail, such as CREATE TABLE and DROP TABLE.
void WaitOutTransient(const std::function<void()>& action, TransientBudget& budget);

// What to do next with a run of rows first..last-1 after a writer answered `outcome` for
// it. The one place that decides what is resent, isolated, retried or given up, so that
// every writer and every fault is handled by the same rules:
// - a refused row is never resent with its run: the writer commits the rows before it
//   when it can name it, the row goes alone (as a single-row INSERT that reports), and
//   the rows after it go again;
// - a transient condition is retried after a growing pause until the wait is used up,
//   then the table stops;
// - a COMMIT whose outcome could not be learned is never resent: the table stops;
// - a writer that cannot go on hands the rest of the rows to single-row INSERTs.
struct Decision {
    enum class Action {
        kDone,        // every row of the run is accounted for
        kRetry,       // write rows `from`..last-1 again after `pause`
        kSplit,       // write rows `from`..`row`-1 as a run, then `row`..last-1
        kIsolate,     // row `row` (= `from`) goes alone, then the rows after it
        kDropWriter,  // rows `from`..last-1 go one by one through the driver
        kStop,        // the table stops at `from`: nothing more of it is written
    };
    Action action = Action::kDone;
    std::size_t from = 0;  // the first row not yet in
    std::size_t row = 0;
    std::chrono::milliseconds pause{0};
};

Decision Decide(std::size_t first, std::size_t last, const WriteOutcome& outcome,
                const TransientBudget& budget);

// What to do after the INSERT of a row sent alone failed with `error`.
struct AloneDecision {
    enum class Action {
        kRetry,      // send it again after `pause`
        kRefused,    // the row's own fault: report it and go on
        kUncertain,  // the connection went with the answer: it may have landed; stop
        kStop,       // a lock held longer than the wait: stop the table
    };
    Action action = Action::kRefused;
    std::chrono::milliseconds pause{0};
};
AloneDecision DecideAlone(const adodb::Error& error, const TransientBudget& budget);

// The report of a run whose COMMIT answer was lost, with what the driver said. Its state is
// the lost connection's, so that the run ends there as it does for any lost connection and
// nothing more is tried on a connection that is gone.
adodb::Error CommitUnknownError(const WriteOutcome& outcome);

// Where the rows of a run go: a writer of runs, and single rows alone. What RowCopy writes
// to, and what a test replaces.
class RunTarget {
  public:
    virtual ~RunTarget() = default;
    // Writes rows first..last-1 as one run; nullopt when there is no writer of runs (left).
    virtual std::optional<WriteOutcome> WriteRun(std::size_t first, std::size_t last) = 0;
    // Writes one row alone, reporting a refusal itself; returns false when the table must
    // stop (its connection is gone, or the wait for a lock is used up).
    virtual bool WriteAlone(std::size_t row) = 0;
    virtual void DropWriter() = 0;
    virtual void Pause(std::chrono::milliseconds pause) = 0;
    // The table stopped at `row`, the run reaching to `last`: why, for the report.
    virtual void Stopped(std::size_t row, std::size_t last, const WriteOutcome& outcome) = 0;
};

// Writes rows first..last-1 by the rules of Decide. False when the table stopped.
bool WriteRows(RunTarget& target, std::size_t first, std::size_t last, TransientBudget& budget);

}  // namespace korvanta
