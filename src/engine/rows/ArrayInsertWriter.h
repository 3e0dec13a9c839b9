#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/ArrayInsert.h"
#include "adodb/Connection.h"
#include "engine/rows/BatchWriter.h"
#include "sql/dialect/Dialect.h"
#include "sql/statements/MergeStatements.h"

namespace korvanta {

// Writes runs of rows through the target's ODBC driver: one prepared INSERT with a
// parameter per column, executed for arrays of rows, one transaction per run. A run
// refused at a row the driver names is written again up to that row.
class ArrayInsertWriter final : public BatchWriter {
  public:
    // nullptr when the driver cannot do it: no transactions, or the INSERT cannot be
    // prepared (then every row goes as a statement of its own).
    // binary: per column, whether its values are hex digits that go in as bytes. columns:
    // the target columns the values go to; empty: all of the table's, in its order. merge:
    // each run goes into the plan's staging table (made here) and is merged from there.
    static std::unique_ptr<ArrayInsertWriter> Create(adodb::Connection& target,
                                                     std::string_view table,
                                                     const std::vector<bool>& binary,
                                                     const Dialect& dialect,
                                                     const std::vector<std::string>& columns = {},
                                                     std::optional<MergePlan> merge = std::nullopt);

    WriteOutcome Write(const RowBatch& batch, std::size_t first, std::size_t last,
                       std::atomic<long long>& sent) override;
    const std::string& Statement() const override { return statement_; }

  private:
    // One transaction of rows first..last-1: all in, or none.
    WriteOutcome WriteRun(const RowBatch& batch, std::size_t first, std::size_t last);
    // The run's rows, in the staging table, merged into the table; raises the driver's error.
    void Merge(WriteOutcome& outcome);
    ArrayInsertWriter(adodb::Connection& target, std::unique_ptr<adodb::ArrayInsert> insert,
                      std::string statement, std::optional<MergePlan> merge)
        : target_(target),
          insert_(std::move(insert)),
          statement_(std::move(statement)),
          merge_(std::move(merge)) {}

    adodb::Connection& target_;
    std::unique_ptr<adodb::ArrayInsert> insert_;
    std::string statement_;
    std::optional<MergePlan> merge_;
};

}  // namespace korvanta
