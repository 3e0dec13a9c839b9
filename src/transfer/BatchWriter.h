#pragma once

#include <atomic>
#include <cstddef>
#include <optional>

namespace korvanta {

class RowBatch;

// What became of a run of rows handed to a BatchWriter.
struct WriteOutcome {
    enum class Kind {
        kWritten,   // every row of the run is in the target, committed
        kRejected,  // the target refused the run: none of its rows is in
        kUnusable,  // the writer cannot go on (its connection is gone or was never there):
                    // none of the run's rows is in
    };
    Kind kind = Kind::kWritten;
    // The row that the target named as the one it refused (an index into the batch); a
    // hint only: it may be wrong, or missing.
    std::optional<std::size_t> failedRow;
};

// Writes runs of rows into one table of the target, each run all or nothing, much faster
// than a statement per row. It never reports: a refused run is split by the caller until
// the refused rows stand alone, and those go as single-row INSERTs, which report.
class BatchWriter {
  public:
    virtual ~BatchWriter() = default;
    // Writes rows first..last-1 of the batch. Adds to `sent` as rows go out, so that the
    // progress shown moves during a long run; the caller takes back what a failed run
    // added.
    virtual WriteOutcome Write(const RowBatch& batch, std::size_t first, std::size_t last,
                               std::atomic<long long>& sent) = 0;
};

}  // namespace korvanta
