// The shared copy step of every route, and the verification of what it wrote.
#include <algorithm>

#include "engine/rows/ArrayInsertWriter.h"
#include "engine/rows/CopyWriter.h"
#include "engine/rows/PostgresWire.h"
#include "engine/send/ReportText.h"
#include "engine/send/SendSession.h"
#include "engine/send/TableVerify.h"
#include "sql/model/SqlName.h"
#include "sql/statements/MergeStatements.h"

namespace korvanta {

namespace {

std::string Why(const std::exception_ptr& failure) {
    return AsError(failure).what();
}

}  // namespace

std::unique_ptr<BatchWriter> SendSession::WriterFor(const RowsInto& into) {
    if (into.binary.empty())
        return nullptr;
    std::optional<MergePlan> merge;
    if (!into.mergeKey.empty())
        merge = PlanMerge(*targetDialect_, QuotedName(into.table), into.columns, into.mergeKey);
    if (!toPostgreSQL_ || into.writer == RowsInto::Writer::kSameSession)
        return ArrayInsertWriter::Create(Target(), into.table, into.binary, *targetDialect_,
                                         into.columns, merge);
    // COPY goes over a libpq connection of its own, opened once per run (again after it
    // broke).
    PostgresCopyConnection* wire = Wire();
    if (wire == nullptr)
        throw adodb::Error("no connection for COPY could be opened");
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::seconds(request_.settings.commandTimeoutSeconds);
    if (merge && !wire::Command(wire->get(), merge->dropStaging.c_str(), deadline))
        throw adodb::Error("the merge's staging table could not be cleared");
    return std::make_unique<CopyWriter>(*wire, into.table, into.binary, into.columns, merge);
}

CopyResult SendSession::CopyRows(TableRows& rows, const std::string& sourceTable,
                                 const RowsInto& into, std::string* slowWhy) {
    std::unique_ptr<BatchWriter> writer;
    if (into.writer != RowsInto::Writer::kNone && !request_.settings.oneStatementPerRow) {
        try {
            writer = WriterFor(into);
        } catch (...) {
            writer.reset();  // the rows go through the driver instead, one INSERT each
            if (slowWhy != nullptr)
                *slowWhy = Why(std::current_exception());
        }
    }
    const std::size_t width = into.columns.empty() ? into.binary.size() : into.columns.size();
    RowStatement insert(request_.target, into.table,
                        into.bare.empty() ? std::vector<bool>(width, false) : into.bare,
                        targetDialect_, into.columns);
    insert.SetBinaryColumns(into.binary);
    std::shared_ptr<const MergeRow> rowMerge;
    if (!into.mergeKey.empty())
        rowMerge = std::make_shared<MergeRow>(targetDialect_, QuotedName(into.table), into.columns,
                                              into.mergeKey, insert);
    RowCopy copy(rows, Source(),
                 {Target(), std::move(insert), std::move(writer), request_.settings, targetDialect_,
                  sourceTable, into.read, into.rules, rowMerge, request_.readHook},
                 {lines_.readField, lines_.insert, lines_.moveNext}, listener_);
    copy.Run([&] { listener_.Progress(copy.Handled(), copy.Total()); });
    listener_.Progress(copy.Handled(), copy.Total());
    if (const std::string last = copy.LastStatement(); !last.empty())
        statement_ = last;
    if (copy.ConnectionLost())
        ended_ = true;
    return {copy.Result(), copy.Total(), copy.RefusedRows()};
}

RowCopy::Tally SendSession::CopyTable(SentTable& table, const RowsInto& into) {
    CopyResult result = CopyRows(table.rows, table.entry, into, &table.outcome.oneByOne);
    const RowCopy::Tally& tally = result.tally;
    table.outcome.counted = result.total;
    table.outcome.landed = tally.landed;
    table.outcome.refused = tally.refused;
    table.outcome.complete = tally.complete;
    table.outcome.stopRequested = tally.stopRequested;
    ReportCut(table, tally);
    refusedRows_ = std::move(result.refusedRows);
    return tally;
}

// A table cut short must never look finished: the report says how much of it arrived. A
// stop that was asked for is no failure, but the table must not look complete either.
void SendSession::ReportCut(const SentTable& table, const RowCopy::Tally& tally) {
    const CopyCount count{tally.landed, table.outcome.counted, tally.refused, tally.uncertain};
    if (tally.stopRequested) {
        listener_.Failed(lines_.insert, adodb::Error(StoppedAsAskedText(table.entry, count)),
                         statement_);
    } else if (!tally.complete) {
        listener_.Failed(tally.stoppedAtLine != 0 ? tally.stoppedAtLine : lines_.insert,
                         adodb::Error(StoppedText(table.entry, count)), statement_);
    }
}

void SendSession::Verify(SentTable& table, const std::vector<ValueRule>& rules) {
    TableOutcome& outcome = table.outcome;
    const bool read = Step(lines_.verify, [&] {
        std::vector<long long> refused = refusedRows_;
        std::sort(refused.begin(), refused.end());
        outcome.verifyDifference = VerifyTable(
            {Source(), sourceDialect_, table.entry, table.where, OrderTerms(table)},
            {Target(), targetDialect_, table.name, {}, {}, toPostgreSQL_ ? Wire() : nullptr}, rules,
            refused);
    });
    if (!read) {
        outcome.verified = false;
        outcome.verifyDifference = "the table could not be read back";
        return;
    }
    outcome.verified = outcome.verifyDifference.empty();
    if (!*outcome.verified)
        Report(lines_.verify, "Verification of table " + QuotedName(table.name) +
                                  " failed: what the target holds differs from the source in " +
                                  outcome.verifyDifference + ".");
}

}  // namespace korvanta
