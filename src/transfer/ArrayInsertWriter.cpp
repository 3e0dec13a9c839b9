#include "transfer/ArrayInsertWriter.h"

#include "catalog/SqlName.h"
#include "transfer/RowBatch.h"

namespace korvanta {

std::unique_ptr<ArrayInsertWriter> ArrayInsertWriter::Create(adodb::Connection& target,
                                                             std::string_view table,
                                                             std::size_t columns) {
    if (columns == 0)
        return nullptr;
    std::string sql = "INSERT INTO " + QuotedName(table) + " VALUES(";
    for (std::size_t i = 0; i < columns; ++i)
        sql += i == 0 ? "?" : ", ?";
    sql += ')';
    try {
        // A run must be all or nothing: without transactions a refused run would leave
        // the rows before the refused one in, and they would come again.
        if (!target.SupportsTransactions())
            return nullptr;
        return std::unique_ptr<ArrayInsertWriter>(new ArrayInsertWriter(
            target, std::make_unique<adodb::ArrayInsert>(target, sql, columns)));
    } catch (const adodb::Error&) {
        return nullptr;
    }
}

WriteOutcome ArrayInsertWriter::Write(const RowBatch& batch, std::size_t first, std::size_t last,
                                      std::atomic<long long>& sent) {
    WriteOutcome outcome;
    try {
        target_.BeginTrans();
    } catch (const adodb::Error&) {
        return {WriteOutcome::Kind::kUnusable, 0, std::nullopt};
    }
    const adodb::ArrayInsert::Result result = insert_->Execute(batch, first, last);
    if (result.error) {
        outcome.kind = result.error->connectionLost() ? WriteOutcome::Kind::kUnusable
                                                      : WriteOutcome::Kind::kRejected;
        outcome.failedRow = result.failedRow;
        try {
            target_.RollbackTrans();
        } catch (const adodb::Error&) {
            outcome.kind = WriteOutcome::Kind::kUnusable;
        }
        return outcome;
    }
    try {
        target_.CommitTrans();
    } catch (const adodb::Error& e) {
        outcome.kind =
            e.connectionLost() ? WriteOutcome::Kind::kUnusable : WriteOutcome::Kind::kRejected;
        try {
            target_.RollbackTrans();
        } catch (const adodb::Error&) {
            outcome.kind = WriteOutcome::Kind::kUnusable;
        }
        return outcome;
    }
    sent += static_cast<long long>(last - first);
    outcome.written = last - first;
    return outcome;
}

}  // namespace korvanta
