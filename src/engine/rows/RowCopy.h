#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "adodb/Connection.h"
#include "adodb/Error.h"
#include "adodb/Recordset.h"
#include "engine/connections/ConnectionValues.h"
#include "engine/rows/BatchWriter.h"
#include "engine/rows/FailurePolicy.h"
#include "engine/rows/TableRows.h"
#include "engine/rows/TransferListener.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/ValueCheck.h"
#include "sql/statements/MergeStatements.h"
#include "sql/statements/RowStatement.h"

namespace korvanta {

class RowBatch;
class BatchQueue;
struct ReadFailure;

// The line numbers that the reports of a row copy quote.
struct RowCopyLines {
    int readField;
    int insert;
    int moveNext;
};

// Copies the rows of an open source record set into a target table, reading and writing
// at once: a reader thread reads the source in batches of rows while a writer thread
// writes the batches before them. Memory stays within a few batches whatever the table's
// size.
//
// With a BatchWriter, rows go in runs (COPY, arrays of parameters); a run the target
// refuses is split until the refused rows stand alone, and each of those goes as its own
// single-row INSERT, whose failure is reported exactly as a copy of one statement per
// row would report it. Without one, every row is its own INSERT. Either way the same rows
// land, in the same order. A lost connection is reported once and ends the copy; every
// run committed before it stays.
class RowCopy {
  public:
    struct Target {
        adodb::Connection& connection;  // the single-row INSERTs go here
        RowStatement statement;         // and are built by this
        std::unique_ptr<BatchWriter> writer;
        TransferSettings settings;
        std::shared_ptr<const Dialect> dialect;  // the target's: what it keeps of a value
        std::string sourceTable;                 // named in refused rows
        std::vector<std::string> columns;        // the source's column names
        // Per column, what the target column keeps of a value; empty: text, any column.
        std::vector<ValueRule> rules;
        // A merge by key: a row sent alone is looked up and inserted, updated or left as
        // it is; the writer's runs are merged. nullptr: every row is inserted.
        std::shared_ptr<const MergeRow> merge;
        // Called with each batch read, before it is checked and written (a test's misread).
        std::function<void(RowBatch& batch)> readHook = {};
    };

    // Where the rows of the table ended up, after Join.
    struct Tally {
        long long landed = 0;        // rows in the target, committed
        long long refused = 0;       // rows refused or unreadable, each reported
        bool complete = false;       // the source was read to its end and every row accounted for
        int stoppedAtLine = 0;       // the step at which it stopped, when not complete
        bool stopRequested = false;  // the listener asked to stop
        long long uncertain = 0;     // rows whose COMMIT answer was lost: in or not, unknown
        // A merge: of the landed rows, those inserted and those the table held unchanged;
        // the others updated a row.
        long long inserted = 0;
        long long unchanged = 0;
    };

    // The source's rows are counted first for the progress (a failure leaves the count
    // unknown); the source connection runs the count.
    RowCopy(TableRows& source, adodb::Connection& sourceConnection, Target target,
            RowCopyLines lines, TransferListener& listener);
    ~RowCopy();  // waits for both threads
    RowCopy(const RowCopy&) = delete;
    RowCopy& operator=(const RowCopy&) = delete;

    // Copies the rows on a reader and a writer thread of their own, calling `tick` on the
    // caller's thread every 50 ms meanwhile (for the progress); returns when both are done.
    void Run(const std::function<void()>& tick);

    long long Total() const noexcept { return total_; }      // -1 while unknown
    long long Handled() const noexcept { return handled_; }  // rows written or reported
    // After Join: whether a lost connection ended the copy, and the last INSERT built.
    bool ConnectionLost() const noexcept { return connectionLost_; }
    // The statement that the report which stopped the table quoted, so that the closing
    // report quotes the same; else the INSERT of the last row written or reported, built
    // on demand, as it may be large.
    std::string LastStatement() const;
    Tally Result() const;
    // The places among the source's rows (from 1) of the rows refused, in order.
    const std::vector<long long>& RefusedRows() const noexcept { return refusedRows_; }

  private:
    class BatchTarget;

    void Read();
    void ReadRows();
    void CountSourceRows();
    bool FillBatch(RowBatch& batch, long long& position);
    bool ReadRow(RowBatch& batch);
    void Write();
    // A row of a batch that cannot go in with its run.
    struct Gap {
        std::size_t row;  // the row before which a read failed, or the row refused
        const ReadFailure* failure;
        std::optional<ValueProblem> unstorable;
    };
    std::vector<Gap> GapsOf(const RowBatch& batch) const;
    // Checks every value of the batch against the target's columns (either thread).
    void CheckValues(RowBatch& batch) const;
    void WriteBatch(RowBatch& batch);
    void ReportReadFailure(const RowBatch& batch, const ReadFailure& read);
    void WriteRange(const RowBatch& batch, std::size_t first, std::size_t last);
    bool Isolate(const RowBatch& batch, std::size_t row);
    // A merge's row alone: what the table holds of its key, then its INSERT or UPDATE.
    bool MergeAlone(const RowBatch& batch, std::size_t row);
    // The row's statement alone, its outcome counted and reported; `landed` when it went in.
    bool SendAlone(const RowBatch& batch, std::size_t row, const std::string& statement,
                   bool& landed);
    void ReportFailure(int line, const adodb::Error& error, const std::string& statement);
    // A refused row: reported, kept for the listener, counted against the table's limit.
    void Refused(int line, const adodb::Error& error, const std::string& statement,
                 long long sourceRow, std::vector<std::optional<std::string>> values);
    static std::vector<std::optional<std::string>> ValuesOf(const RowBatch& batch, std::size_t row);
    long long SourceRowOf(const RowBatch& batch, std::size_t row) const;
    void ReportStop(int line, const adodb::Error& error, const std::string& statement);
    std::string InsertOf(const RowBatch& batch, std::size_t row) const;
    // The writer's statement, naming the source rows first..last-1 it held.
    std::string RunStatement(const RowBatch& batch, std::size_t first, std::size_t last) const;
    std::string PreviousStatement() const;

    TableRows& source_;
    adodb::Connection& sourceConnection_;
    std::string written_;  // and as the target reads the same value (reader thread)
    Target target_;
    RowCopyLines lines_;
    TransferListener& listener_;
    std::unique_ptr<BatchQueue> full_;
    std::unique_ptr<BatchQueue> empty_;
    std::atomic<long long> total_{-1};
    std::atomic<long long> handled_{0};
    bool connectionLost_ = false;  // written by the writer thread only
    bool stopped_ = false;         // the writer gave up on the table (writer thread only)
    int stoppedAtLine_ = 0;
    long long landed_ = 0;   // writer thread only
    long long refused_ = 0;  // writer thread only
    // The reader's end: whether it read the source to its end, whether a failure ended the
    // reading, and what stopped it when that was not reported in its place among the rows.
    bool readToEnd_ = false;
    bool readFailed_ = false;
    bool writesAsRead_ = false;  // the target takes every value as the source gives it
    std::optional<adodb::Error> readerFailure_;
    TransientBudget budget_;
    bool stopRequested_ = false;
    long long uncertain_ = 0;
    long long inserted_ = 0;                    // writer thread only
    long long unchanged_ = 0;                   // writer thread only
    std::vector<long long> refusedRows_;        // writer thread only
    std::unique_ptr<RowBatch> lastBatch_;       // the batch written last, for the last statement
    std::optional<std::string> stopStatement_;  // quoted by the report that stopped the table
    void Join();

    std::mutex doneMutex_;
    std::condition_variable doneSignal_;
    bool done_ = false;  // the writer thread has finished
    std::thread reader_;
    std::thread writer_;
};

}  // namespace korvanta
