#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

#include "adodb/Error.h"

namespace korvanta {

class RowBatch;

// What became of a run of rows handed to a BatchWriter.
struct WriteOutcome {
    enum class Kind {
        kWritten,        // every row of the run is in the target, committed
        kRejected,       // the target refused a row: the rows before `written` are in, committed;
                         // none from there on
        kUnusable,       // the writer cannot go on (its connection is gone or was never there):
                         // the rows before `written` are in, none from there on
        kTransient,      // a lock, a busy database or a deadlock stopped it: the rows before
                         // `written` are in, the rest may succeed if tried again later
        kCommitUnknown,  // the rows before `written` are in; whether the rest of the run
                         // was committed could not be learned
    };
    Kind kind = Kind::kWritten;
    std::size_t written = 0;  // rows from the start of the run that are in
    // The row that the target named as the one it refused (an index into the batch); a
    // hint only: it may be wrong, or missing.
    std::optional<std::size_t> failedRow;
    // For kTransient, kUnusable and kCommitUnknown: what the database said.
    std::optional<adodb::Error> error;
    // A merge: of the `written` rows, those the table did not hold (inserted) and those it
    // held with every value equal (left as they were); the rest updated a row.
    std::size_t inserted = 0;
    std::size_t unchanged = 0;
};

// Writes runs of rows into one table of the target, much faster than a statement per
// row; what it reports written is committed, the rest is not in at all. When the target
// refuses a row of a run and the writer can tell which, it writes the rows before that one
// itself, in the same run's place, and reports them in `written` with the refused row in
// `failedRow`; the failure policy (FailurePolicy.h) sends that row alone and goes on after
// it. When it cannot tell, it reports nothing written and the policy halves the run. It
// never reports a failure itself: the single-row INSERTs report.
class BatchWriter {
  public:
    virtual ~BatchWriter() = default;
    // Writes rows first..last-1 of the batch. Adds to `sent` as rows go out, so that the
    // progress shown moves during a long run; the caller sets it right afterwards.
    virtual WriteOutcome Write(const RowBatch& batch, std::size_t first, std::size_t last,
                               std::atomic<long long>& sent) = 0;
    // The statement that writes the runs ("COPY "t" FROM STDIN"), quoted when one fails.
    virtual const std::string& Statement() const = 0;
};

}  // namespace korvanta
