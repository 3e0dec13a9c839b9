#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/connections/ConnectionValues.h"
#include "engine/rows/BatchWriter.h"
#include "engine/rows/CopyConnection.h"
#include "engine/rows/CopyText.h"
#include "sql/statements/MergeStatements.h"

namespace korvanta {

// The line that COPY names in its error context ("COPY t, line 3, column a: ..."), or 0.
// Only the table's name and the number after it are read, so the server's language does
// not matter ("COPY t, Zeile 3, Spalte a").
std::size_t CopyErrorLine(std::string_view context, std::string_view table);

// Writes runs of rows with COPY ... FROM STDIN, one transaction per run. A COMMIT whose
// answer was lost is looked up on a new connection (the transaction's status by its id),
// so a run is never reported written when it is not in, nor resent when it is.
class CopyWriter final : public BatchWriter {
  public:
    // table: the name as the statements spell it (CREATE TABLE made it). binary: per
    // column, whether its values are hex digits that go in as bytes (a bytea column).
    // columns: the target columns the values go to, in their order; empty: all of the
    // table's. merge: the run goes into the plan's staging table and is merged from there
    // into the table, in the run's transaction.
    CopyWriter(PostgresCopyConnection& connection, std::string_view table,
               std::vector<bool> binary = {}, const std::vector<std::string>& columns = {},
               std::optional<MergePlan> merge = std::nullopt);

    WriteOutcome Write(const RowBatch& batch, std::size_t first, std::size_t last,
                       std::atomic<long long>& sent) override;
    const std::string& Statement() const override { return statement_; }

  private:
    WriteOutcome WriteRun(const RowBatch& batch, std::size_t first, std::size_t last,
                          std::atomic<long long>& sent);
    bool Begin(std::string& transaction);
    WriteOutcome RowsBeforeRefused(const RowBatch& batch, std::size_t piece, std::size_t end,
                                   const WriteOutcome& refused, std::atomic<long long>& sent);
    WriteOutcome Abandon(WriteOutcome outcome);
    WriteOutcome Lost() const;
    // One COPY of the rows; a refused row is named as an index into the batch.
    WriteOutcome Copy(const RowBatch& batch, std::size_t first, std::size_t last,
                      std::atomic<long long>& sent);
    WriteOutcome Commit(const std::string& transaction, std::size_t rows);
    // The merge of the rows of the run in the staging table into the table; written with
    // its counts, or what ends the run (the caller abandons it).
    WriteOutcome Merge(std::size_t rows);
    // The outcome of a COMMIT whose answer did not come: committed, aborted or unknown.
    WriteOutcome Resolve(const std::string& transaction, std::size_t rows);
    std::chrono::steady_clock::time_point Deadline() const;

    PostgresCopyConnection& connection_;
    std::string table_;
    std::string statement_;
    CopyText buffer_;
    std::vector<bool> binary_;
    std::optional<MergePlan> merge_;
};

}  // namespace korvanta
