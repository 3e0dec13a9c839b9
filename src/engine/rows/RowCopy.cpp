#include "engine/rows/RowCopy.h"

#include <charconv>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "adodb/ByteScan.h"
#include "engine/connections/Failure.h"
#include "engine/rows/BatchQueue.h"
#include "engine/rows/RowBatch.h"
#include "engine/rows/SingleRowWriter.h"
#include "engine/rows/TransientFailure.h"
#include "sql/model/ValueCheck.h"

namespace korvanta {

namespace {

// A batch holds at most this many rows or about this many bytes of values: enough for
// the target to take it at full speed, small enough that the few batches in flight keep
// memory flat.
constexpr std::size_t kBatchRows = 16384;
constexpr std::size_t kBatchBytes = std::size_t{8} << 20;
// Batches read ahead of the writer.
constexpr std::size_t kBatchesInFlight = 2;
// Written batches kept for the reader to fill again: more than are ever in flight, so that
// handing one back never waits.
constexpr std::size_t kBatchesKept = 16;
// A value this large goes into the batch where the source read it, not copied: one copy
// fewer of a value that may be as large as memory allows.
constexpr std::size_t kHeldFrom = std::size_t{1} << 20;

}  // namespace

RowCopy::RowCopy(TableRows& source, adodb::Connection& sourceConnection, Target target,
                 RowCopyLines lines, TransferListener& listener)
    : source_(source),
      sourceConnection_(sourceConnection),
      target_(std::move(target)),
      lines_(lines),
      listener_(listener),
      full_(std::make_unique<BatchQueue>(kBatchesInFlight)),
      empty_(std::make_unique<BatchQueue>(kBatchesKept)) {
    budget_ = BudgetFor(target_.settings);
    source_.Into(target_.rules);
    writesAsRead_ = target_.dialect != nullptr;
    for (std::size_t j = 0; writesAsRead_ && j < source_.Fields().size(); ++j)
        writesAsRead_ = target_.dialect->WritesAsRead(j < target_.rules.size() ? target_.rules[j]
                                                                               : ValueRule{});
}

RowCopy::~RowCopy() {
    full_->Close();
    empty_->Close();
    Join();
}

void RowCopy::Run(const std::function<void()>& tick) {
    reader_ = std::thread([this] { Read(); });
    writer_ = std::thread([this] { Write(); });
    {
        std::unique_lock lock(doneMutex_);
        while (!doneSignal_.wait_for(lock, std::chrono::milliseconds(50), [&] { return done_; })) {
            lock.unlock();
            tick();
            lock.lock();
        }
    }
    Join();
}

void RowCopy::Join() {
    if (reader_.joinable())
        reader_.join();
    if (writer_.joinable())
        writer_.join();
}

// ---- Reader thread ----

void RowCopy::Read() {
    // Nothing may leave the thread: whatever stops the reading is reported by the writer
    // once the rows before it are in, and the table is then not complete.
    try {
        ReadRows();
    } catch (const std::exception& e) {
        readerFailure_ = AsError(e);
    } catch (...) {
        readerFailure_ = adodb::Error("Unknown error");
    }
    full_->Close();
}

// The count is only for the progress bar: a source that cannot be counted is still copied.
void RowCopy::CountSourceRows() {
    if (const std::optional<long long> rows = source_.Count(sourceConnection_))
        total_ = *rows;
}

// Reads the current row into the batch. A row whose values cannot all be read is kept as
// a failure in its place, not written with gaps; out of memory included, the row's partial
// values are let go. False when the reading must end (the connection is gone).
bool RowCopy::ReadRow(RowBatch& batch) {
    // Most rows go whole: one copy of the memory the source read them into.
    if (writesAsRead_) {
        try {
            const std::optional<TableRows::RowView> row = source_.RowAsRead();
            if (row && row->memory.size() < kHeldFrom &&
                batch.AddRowWithin(row->memory, row->values))
                return true;
        } catch (const std::exception&) {
            // Read value by value below, which tells what could not be read.
        }
    }
    const std::size_t columns = batch.Columns();
    // The source's memory of the row, taken over for a large value that goes as it is.
    std::optional<TableRows::HeldRow> held;
    bool taken = false;
    for (std::size_t j = 0; j < columns; ++j) {
        try {
            const std::optional<std::string_view> value = source_.Value(j);
            if (!value) {
                batch.AddNull();
                continue;
            }
            const std::string_view written = target_.dialect->WrittenValue(
                *value, j < target_.rules.size() ? target_.rules[j] : ValueRule{}, written_);
            if (written.size() >= kHeldFrom && !taken) {
                held = source_.TakeRow();
                taken = true;
            }
            if (written.size() >= kHeldFrom && held && LiesWithin(written, held->bytes))
                batch.AddHeld(written, held->terminated);
            else
                batch.AddText(written);
        } catch (const std::exception& e) {
            const adodb::Error error = AsError(e);
            std::vector<std::optional<std::string>> valuesRead;
            try {
                valuesRead = batch.DropRow();
                // A value refused as what it is: the report shows the whole row.
                if (dynamic_cast<const UnreadableValue*>(&e) != nullptr)
                    valuesRead = source_.ShownRow();
            } catch (const std::exception&) {
                batch.DropRowQuietly();
            }
            batch.failures.push_back(
                {batch.Rows(), ReadFailure::Step::kReadField, error, std::move(valuesRead)});
            return !error.connectionLost();
        }
    }
    batch.EndRow();
    if (held)
        batch.Keep(std::move(held->memory));
    return true;
}

// Fills the batch from the source's next row on. False when the source has no more (read
// to its end, or the reading failed: then `readFailed_` tells).
bool RowCopy::FillBatch(RowBatch& batch, long long& position) {
    while (batch.Rows() < kBatchRows && batch.Bytes() < kBatchBytes) {
        try {
            // Most rows go straight from the driver's buffers into the batch.
            adodb::SinkRead read = adodb::SinkRead::kCurrent;
            if (writesAsRead_)
                read = source_.NextInto(batch);
            else if (!source_.Next())
                read = adodb::SinkRead::kEnd;
            if (read == adodb::SinkRead::kEnd)
                return false;
            if (read == adodb::SinkRead::kGiven) {
                ++position;
                continue;
            }
        } catch (const std::exception& e) {
            // A source that cannot move on would give the same row for ever. What a row
            // read straight into the batch had given of itself goes with it.
            batch.DropRowQuietly();
            batch.failures.push_back({batch.Rows(), ReadFailure::Step::kMoveNext, AsError(e), {}});
            readFailed_ = true;
            return false;
        }
        const bool goOn = ReadRow(batch);
        ++position;
        if (!goOn) {
            readFailed_ = true;
            return false;
        }
    }
    return true;
}

void RowCopy::ReadRows() {
    CountSourceRows();
    const std::size_t columns = source_.Fields().size();
    bool more = true;
    long long position = 1;  // the source row number of the next row read
    for (;;) {
        std::unique_ptr<RowBatch> batch = empty_->Pop(false);
        if (!batch)
            batch = std::make_unique<RowBatch>(columns);
        batch->Clear();
        batch->firstRow = position;
        if (more)
            more = FillBatch(*batch, position);
        batch->endOfTable = !more;
        if (target_.readHook)
            target_.readHook(*batch);
        // The values are checked here while the writer is busy with the batches before:
        // time the reader would spend waiting, taken off the writer.
        if (full_->Full()) {
            try {
                CheckValues(*batch);
            } catch (const std::exception&) {
                batch->unstorable.reset();  // the writer checks them again
            }
        }
        if (!full_->Push(std::move(batch)) || !more)
            break;
    }
    readToEnd_ = !more && !readFailed_;
}

// ---- Writer thread ----

// One batch's rows as the failure policy writes them.
class RowCopy::BatchTarget final : public RunTarget {
  public:
    BatchTarget(RowCopy& copy, const RowBatch& batch) : copy_(copy), batch_(batch) {}

    std::optional<WriteOutcome> WriteRun(std::size_t first, std::size_t last) override {
        if (!copy_.target_.writer)
            return std::nullopt;
        const long long before = copy_.handled_;
        const WriteOutcome outcome =
            copy_.target_.writer->Write(batch_, first, last, copy_.handled_);
        const std::size_t written =
            outcome.kind == WriteOutcome::Kind::kWritten ? last - first : outcome.written;
        copy_.handled_ = before + static_cast<long long>(written);
        copy_.landed_ += static_cast<long long>(written);
        copy_.inserted_ += static_cast<long long>(outcome.inserted);
        copy_.unchanged_ += static_cast<long long>(outcome.unchanged);
        return outcome;
    }
    bool WriteAlone(std::size_t row) override { return copy_.Isolate(batch_, row); }
    void DropWriter() override { copy_.target_.writer.reset(); }
    void Pause(std::chrono::milliseconds pause) override { std::this_thread::sleep_for(pause); }
    void Stopped(std::size_t row, std::size_t last, const WriteOutcome& outcome) override {
        // What ran: the writer's statement with the rows it held, not an INSERT that never
        // did.
        const std::string statement = copy_.target_.writer ? copy_.RunStatement(batch_, row, last)
                                                           : copy_.InsertOf(batch_, row);
        if (outcome.kind == WriteOutcome::Kind::kCommitUnknown) {
            copy_.uncertain_ = static_cast<long long>(last - row);
            copy_.ReportStop(copy_.lines_.insert, CommitUnknownError(outcome), statement);
            return;
        }
        copy_.ReportStop(
            copy_.lines_.insert,
            outcome.error ? *outcome.error : adodb::Error("The table was not written."), statement);
    }

  private:
    RowCopy& copy_;
    const RowBatch& batch_;
};

void RowCopy::Write() {
    try {
        std::unique_ptr<RowBatch> batch;
        while (!connectionLost_ && !stopped_ && (batch = full_->Pop())) {
            // Between runs nothing is half written: a stop asked for here loses nothing.
            if (listener_.StopRequested()) {
                stopRequested_ = true;
                stopped_ = true;
                break;
            }
            WriteBatch(*batch);
            const bool last = batch->endOfTable;
            // The batch stays for the last statement until the next one is written.
            std::swap(batch, lastBatch_);
            if (batch)
                empty_->Push(std::move(batch));
            if (last)
                break;
        }
    } catch (const std::exception& e) {
        ReportStop(lines_.insert, AsError(e), PreviousStatement());
    } catch (...) {
        ReportStop(lines_.insert, adodb::Error("Unknown error"), PreviousStatement());
    }
    // The reader stopped on something it could not place among the rows: reported after
    // every row before it.
    if (full_->Closed() && readerFailure_ && !connectionLost_ && !stopped_) {
        try {
            ReportStop(lines_.moveNext, *readerFailure_, source_.Statement());
        } catch (...) {
        }
    }
    // Turns the reader away if it is still reading.
    full_->Close();
    empty_->Close();
    std::lock_guard lock(doneMutex_);
    done_ = true;
    doneSignal_.notify_all();
}

void RowCopy::CheckValues(RowBatch& batch) const {
    std::vector<RowBatch::Unstorable> unstorable;
    const std::size_t columns = batch.Columns();
    // Most values are ASCII text in a column whose kind the target takes as given: only
    // their bytes are looked at, here, without a call for each.
    std::vector<ValueRule> rules(columns);
    std::vector<char> bytesOnly(columns);
    for (std::size_t j = 0; j < columns; ++j) {
        rules[j] = j < target_.rules.size() ? target_.rules[j] : ValueRule{};
        bytesOnly[j] = !target_.dialect->Checks(rules[j]);
    }
    for (std::size_t row = 0; row < batch.Rows(); ++row) {
        for (std::size_t j = 0; j < columns; ++j) {
            if (batch.IsNull(row, j))
                continue;
            const std::string_view text = batch.Text(row, j);
            if (bytesOnly[j] && adodb::detail::AsciiWithoutNul(text))
                continue;
            if (std::optional<ValueProblem> why = target_.dialect->Unstorable(text, rules[j])) {
                unstorable.push_back({row, std::move(*why)});
                break;
            }
        }
    }
    batch.unstorable = std::move(unstorable);
}

// What cannot go in as a run, in row order: rows that could not be read, and rows holding
// a value the target column cannot keep exactly.
std::vector<RowCopy::Gap> RowCopy::GapsOf(const RowBatch& batch) const {
    std::vector<Gap> gaps;
    auto failure = batch.failures.begin();
    const auto failuresUpTo = [&](std::size_t row) {
        for (; failure != batch.failures.end() && failure->beforeRow <= row; ++failure)
            gaps.push_back({failure->beforeRow, &*failure, {}});
    };
    for (const RowBatch::Unstorable& row : *batch.unstorable) {
        failuresUpTo(row.row);
        gaps.push_back({row.row, nullptr, row.why});
    }
    for (; failure != batch.failures.end(); ++failure)
        gaps.push_back({failure->beforeRow, &*failure, {}});
    return gaps;
}

void RowCopy::WriteBatch(RowBatch& batch) {
    if (!batch.unstorable)
        CheckValues(batch);
    std::size_t next = 0;
    for (const Gap& gap : GapsOf(batch)) {
        WriteRange(batch, next, gap.row);
        next = gap.row;
        if (connectionLost_ || stopped_)
            return;
        ++handled_;
        if (gap.failure == nullptr) {
            Refused(lines_.insert, adodb::Error(gap.unstorable->message, gap.unstorable->state),
                    InsertOf(batch, gap.row), SourceRowOf(batch, gap.row),
                    ValuesOf(batch, gap.row));
            next = gap.row + 1;
        } else {
            ReportReadFailure(batch, *gap.failure);
        }
    }
    if (!connectionLost_ && !stopped_)
        WriteRange(batch, next, batch.Rows());
}

// A row that could not be read counts as refused; a failure to move on is reported after
// the row before it, and ends the table. Both quote the SELECT that read.
void RowCopy::ReportReadFailure(const RowBatch& batch, const ReadFailure& read) {
    const bool field = read.step == ReadFailure::Step::kReadField;
    const int line = field ? lines_.readField : lines_.moveNext;
    if (!field || read.error.connectionLost())
        stoppedAtLine_ = line;
    // A failed read is reported with the statement that read, not an INSERT of a row that
    // did arrive.
    if (!field) {
        ReportFailure(line, read.error, source_.Statement());
        return;
    }
    const std::string& statement = source_.Statement();
    // Its source row: the batch's rows before it, and the rows before it that failed.
    long long sourceRow = batch.firstRow + static_cast<long long>(read.beforeRow);
    for (const ReadFailure& other : batch.failures) {
        if (&other == &read)
            break;
        if (other.step == ReadFailure::Step::kReadField)
            ++sourceRow;
    }
    Refused(line, read.error, statement, sourceRow, read.valuesRead);
}

void RowCopy::WriteRange(const RowBatch& batch, std::size_t first, std::size_t last) {
    if (first >= last || connectionLost_ || stopped_)
        return;
    BatchTarget target(*this, batch);
    WriteRows(target, first, last, budget_);
}

std::string RowCopy::InsertOf(const RowBatch& batch, std::size_t row) const {
    std::string statement;
    target_.statement.Begin(statement);
    for (std::size_t j = 0; j < batch.Columns(); ++j)
        target_.statement.AddValue(statement, j, batch.Variant(row, j));
    target_.statement.End(statement);
    return statement;
}

std::string RowCopy::RunStatement(const RowBatch& batch, std::size_t first,
                                  std::size_t last) const {
    const long long from = SourceRowOf(batch, first);
    const long long to = SourceRowOf(batch, last > first ? last - 1 : first);
    return target_.writer->Statement() + " -- rows " + std::to_string(from) + " to " +
           std::to_string(to) + " of the source";
}

std::string RowCopy::PreviousStatement() const {
    if (!lastBatch_ || lastBatch_->Rows() == 0)
        return {};
    try {
        return InsertOf(*lastBatch_, lastBatch_->Rows() - 1);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::string RowCopy::LastStatement() const {
    return stopStatement_ ? *stopStatement_ : PreviousStatement();
}

// One row as an INSERT of its own. A lock or a busy database is waited out, within the
// table's budget; a refusal is reported and the copy goes on; a lost connection or a wait
// used up stops the table.
bool RowCopy::Isolate(const RowBatch& batch, std::size_t row) {
    if (target_.merge)
        return MergeAlone(batch, row);
    bool landed = false;
    return SendAlone(batch, row, InsertOf(batch, row), landed);
}

bool RowCopy::SendAlone(const RowBatch& batch, std::size_t row, const std::string& statement,
                        bool& landed) {
    using Kind = SingleRowWriter::Outcome::Kind;
    const SingleRowWriter::Outcome outcome =
        SingleRowWriter(target_.connection, budget_).Write(statement);
    landed = outcome.kind == Kind::kLanded;
    switch (outcome.kind) {
        case Kind::kLanded:
            ++landed_;
            ++handled_;
            return true;
        case Kind::kStop:
            ReportStop(lines_.insert, *outcome.error, statement);
            return false;
        case Kind::kUncertain:
            // The INSERT may have committed before its answer was lost.
            ++handled_;
            ++uncertain_;
            stoppedAtLine_ = lines_.insert;
            ReportFailure(lines_.insert, *outcome.error, statement);
            return false;
        case Kind::kRefused:
            ++handled_;
            Refused(lines_.insert, *outcome.error, statement, SourceRowOf(batch, row),
                    ValuesOf(batch, row));
            return !stopped_;
    }
    return false;
}

bool RowCopy::MergeAlone(const RowBatch& batch, std::size_t row) {
    std::vector<adodb::Variant> values;
    for (std::size_t j = 0; j < batch.Columns(); ++j)
        values.push_back(batch.Variant(row, j));
    // What the table holds of the key: nothing (-1), the row as it is (1), or another (0).
    int held = -1;
    const std::string statement = target_.merge->Probe(values);
    try {
        // A lock or a busy database is waited out as the row's own statement would be.
        WaitOutTransient(
            [&] {
                adodb::Recordset probe = target_.connection.Execute(statement);
                if (!probe.IsEOF())
                    held = probe.Fields()[0].Value().Text() == "1" ? 1 : 0;
                probe.Close();
            },
            budget_);
    } catch (...) {
        const adodb::Error error = AsError(std::current_exception());
        ++handled_;
        if (error.connectionLost() || IsTransient(error)) {
            ReportStop(lines_.insert, error, statement);
            return false;
        }
        Refused(lines_.insert, error, statement, SourceRowOf(batch, row), ValuesOf(batch, row));
        return !stopped_;
    }
    if (held == 1) {
        ++landed_;
        ++unchanged_;
        ++handled_;
        return true;
    }
    bool landed = false;
    const bool goOn = SendAlone(
        batch, row, held == 0 ? target_.merge->Update(values) : InsertOf(batch, row), landed);
    if (landed && held < 0)
        ++inserted_;
    return goOn;
}

void RowCopy::Refused(int line, const adodb::Error& error, const std::string& statement,
                      long long sourceRow, std::vector<std::optional<std::string>> values) {
    ++refused_;
    refusedRows_.push_back(sourceRow);
    ReportFailure(line, error, statement);
    RefusedRow row;
    row.table = target_.sourceTable;
    row.sourceRow = sourceRow;
    row.columns = target_.columns;
    row.values = std::move(values);
    row.message = error.what();
    listener_.RowRefused(row);
    const long long limit = target_.settings.maxRefusedRows;
    if (limit >= 0 && refused_ > limit && !stopped_) {
        ReportStop(line,
                   adodb::Error("More than " + std::to_string(limit) +
                                " rows of the table were "
                                "refused: the table stops here."),
                   statement);
    }
}

std::vector<std::optional<std::string>> RowCopy::ValuesOf(const RowBatch& batch, std::size_t row) {
    std::vector<std::optional<std::string>> values;
    values.reserve(batch.Columns());
    for (std::size_t j = 0; j < batch.Columns(); ++j) {
        const std::optional<std::string_view> value = batch.Value(row, j);
        values.push_back(value ? std::optional<std::string>(*value) : std::nullopt);
    }
    return values;
}

long long RowCopy::SourceRowOf(const RowBatch& batch, std::size_t row) const {
    long long sourceRow = batch.firstRow + static_cast<long long>(row);
    for (const ReadFailure& failure : batch.failures) {
        if (failure.beforeRow <= row && failure.step == ReadFailure::Step::kReadField)
            ++sourceRow;
    }
    return sourceRow;
}

void RowCopy::ReportFailure(int line, const adodb::Error& error, const std::string& statement) {
    listener_.Failed(line, error, statement);
    if (error.connectionLost()) {
        connectionLost_ = true;
        stopStatement_ = statement;
    }
}

void RowCopy::ReportStop(int line, const adodb::Error& error, const std::string& statement) {
    stopped_ = true;
    stoppedAtLine_ = line;
    stopStatement_ = statement;
    ReportFailure(line, error, statement);
}

RowCopy::Tally RowCopy::Result() const {
    Tally tally;
    tally.landed = landed_;
    tally.refused = refused_;
    tally.complete = readToEnd_ && !readerFailure_ && !stopped_ && !connectionLost_;
    tally.stoppedAtLine = stoppedAtLine_;
    tally.stopRequested = stopRequested_;
    tally.uncertain = uncertain_;
    tally.inserted = target_.merge ? inserted_ : landed_;
    tally.unchanged = unchanged_;
    return tally;
}

}  // namespace korvanta
