#include "engine/rows/ArrayInsertWriter.h"

#include "adodb/Recordset.h"
#include "engine/rows/RowBatch.h"
#include "engine/rows/TransientFailure.h"
#include "sql/model/SqlName.h"

#include <algorithm>
#include <charconv>

#include <new>

namespace korvanta {

std::unique_ptr<ArrayInsertWriter> ArrayInsertWriter::Create(
    adodb::Connection& target, std::string_view table, const std::vector<bool>& binary,
    const Dialect& dialect, const std::vector<std::string>& names, std::optional<MergePlan> merge) {
    const std::size_t columns = binary.size();
    if (columns == 0)
        return nullptr;
    std::string sql = "INSERT INTO " + (merge ? merge->staging : QuotedName(table));
    if (!names.empty())
        sql += " (" + QuotedNames(names) + ")";
    sql += " VALUES(";
    for (std::size_t i = 0; i < columns; ++i)
        sql += i == 0 ? "?" : ", ?";
    sql += ')';
    try {
        // A run must be all or nothing: without transactions a refused run would leave
        // the rows before the refused one in, and they would come again.
        if (!target.SupportsTransactions())
            return nullptr;
        if (merge) {
            target.Execute(merge->dropStaging);
            target.Execute(merge->createStaging);
        }
        auto insert = std::make_unique<adodb::ArrayInsert>(target, sql, columns);
        insert->SetBinaryColumns(binary);
        // A driver that gives every row of an array the length of the first row's bytes
        // takes binary values one row at a time.
        if (std::find(binary.begin(), binary.end(), true) != binary.end() &&
            dialect.Can().arraysKeepFirstBinaryLength)
            insert->OneRowAtATime();
        return std::unique_ptr<ArrayInsertWriter>(
            new ArrayInsertWriter(target, std::move(insert), std::move(sql), std::move(merge)));
    } catch (const adodb::Error&) {
        return nullptr;
    }
}

namespace {

using Kind = WriteOutcome::Kind;

// What a failure means for the run: a lost connection ends it, a lock or busy database is
// worth another try, anything else is a refused row.
Kind KindOf(const adodb::Error& e) {
    return e.connectionLost() ? Kind::kUnusable
           : IsTransient(e)   ? Kind::kTransient
                              : Kind::kRejected;
}

}  // namespace

WriteOutcome ArrayInsertWriter::Write(const RowBatch& batch, std::size_t first, std::size_t last,
                                      std::atomic<long long>& sent) {
    WriteOutcome outcome = WriteRun(batch, first, last);
    // Refused at a row the driver named: the rows before it go again on their own, so that
    // they are in when the refused row goes alone.
    if (outcome.kind == Kind::kRejected && outcome.failedRow && *outcome.failedRow > first &&
        *outcome.failedRow < last) {
        const std::size_t refused = *outcome.failedRow;
        WriteOutcome before = WriteRun(batch, first, refused);
        if (before.kind != Kind::kWritten)
            return before;
        outcome.written = refused - first;
    }
    sent += static_cast<long long>(outcome.written);
    return outcome;
}

WriteOutcome ArrayInsertWriter::WriteRun(const RowBatch& batch, std::size_t first,
                                         std::size_t last) {
    const auto rollback = [&](WriteOutcome outcome) {
        try {
            target_.RollbackTrans();
        } catch (const adodb::Error& e) {
            outcome.kind = Kind::kUnusable;
            if (!outcome.error)
                outcome.error = e;
        }
        outcome.written = 0;
        return outcome;
    };
    try {
        target_.BeginTrans();
    } catch (const adodb::Error& e) {
        return {KindOf(e) == Kind::kRejected ? Kind::kUnusable : KindOf(e), 0, std::nullopt, e};
    }
    adodb::ArrayInsert::Result result;
    try {
        result = insert_->Execute(batch, first, last);
    } catch (const std::bad_alloc&) {
        // Too large to go as a run: the rows go alone, which costs least.
        return rollback({Kind::kUnusable, 0, std::nullopt, std::nullopt});
    }
    if (result.error)
        return rollback({KindOf(*result.error), 0, result.failedRow, *result.error});
    WriteOutcome written{Kind::kWritten, last - first, std::nullopt, std::nullopt};
    if (merge_) {
        try {
            Merge(written);
        } catch (const adodb::Error& e) {
            // A row the table refuses (a check, another unique key): no row of the run can
            // be named, and it is halved until that row goes alone.
            return rollback({KindOf(e), 0, std::nullopt, e});
        }
    }
    try {
        target_.CommitTrans();
    } catch (const adodb::Error& e) {
        // The ODBC side cannot tell a lost COMMIT answer from a refused one: a lost
        // connection stops the table, and the rows that did arrive are counted then.
        WriteOutcome outcome{KindOf(e), 0, std::nullopt, e};
        if (outcome.kind == Kind::kUnusable)
            outcome.kind = Kind::kCommitUnknown;
        return rollback(outcome);
    }
    return written;
}

void ArrayInsertWriter::Merge(WriteOutcome& outcome) {
    adodb::Recordset counted = target_.Execute(merge_->count);
    if (counted.IsEOF())
        throw adodb::Error("The merge's count gave no row.");
    const auto number = [&](int field) {
        const std::string_view text = counted.Fields()[field].Value().Text();
        std::size_t n = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (error != std::errc() || end != text.data() + text.size())
            throw adodb::Error("The merge's count gave \"" + std::string(text) + "\".");
        return n;
    };
    outcome.inserted = number(0);
    outcome.unchanged = number(1);
    counted.Close();
    target_.Execute(merge_->upsert);
    target_.Execute(merge_->clear);
}

}  // namespace korvanta
