#include "transfer/RowCopy.h"

#include <charconv>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "transfer/RowBatch.h"

namespace korvanta {

namespace {

// A batch holds at most this many rows or about this many bytes of values: enough for
// the target to take it at full speed, small enough that the few batches in flight keep
// memory flat.
constexpr std::size_t kBatchRows = 16384;
constexpr std::size_t kBatchBytes = std::size_t{8} << 20;
// Batches read ahead of the writer.
constexpr std::size_t kBatchesInFlight = 2;

}  // namespace

// Batches handed from one thread to the other. Closing it wakes and turns away both.
class BatchQueue {
  public:
    // False when the queue was closed.
    bool Push(std::unique_ptr<RowBatch> batch) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || batches_.size() < capacity_; });
        if (closed_)
            return false;
        batches_.push_back(std::move(batch));
        changed_.notify_all();
        return true;
    }
    // The next batch; nullptr when the queue was closed and is empty, or, when not told to
    // wait, when no batch is there.
    std::unique_ptr<RowBatch> Pop(bool wait = true) {
        std::unique_lock lock(mutex_);
        if (wait)
            changed_.wait(lock, [&] { return closed_ || !batches_.empty(); });
        if (batches_.empty())
            return nullptr;
        std::unique_ptr<RowBatch> batch = std::move(batches_.front());
        batches_.pop_front();
        changed_.notify_all();
        return batch;
    }
    void Close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

    explicit BatchQueue(std::size_t capacity) : capacity_(capacity) {}

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<RowBatch>> batches_;
    std::size_t capacity_;
    bool closed_ = false;
};

RowCopy::RowCopy(adodb::Recordset& source, adodb::Connection& sourceConnection,
                 std::string countStatement, Target target, RowCopyLines lines,
                 CopyReports& reports)
    : source_(source),
      sourceConnection_(sourceConnection),
      countStatement_(std::move(countStatement)),
      target_(std::move(target)),
      lines_(lines),
      reports_(reports),
      full_(std::make_unique<BatchQueue>(kBatchesInFlight)),
      empty_(std::make_unique<BatchQueue>(16)) {}

RowCopy::~RowCopy() {
    full_->Close();
    empty_->Close();
    Join();
}

void RowCopy::Start(std::function<void()> finished) {
    finished_ = std::move(finished);
    reader_ = std::thread([this] { Read(); });
    writer_ = std::thread([this] { Write(); });
}

void RowCopy::Join() {
    if (reader_.joinable())
        reader_.join();
    if (writer_.joinable())
        writer_.join();
}

// ---- Reader thread ----

void RowCopy::Read() {
    // The count is only for the progress bar: a source that cannot be counted is still
    // copied.
    try {
        adodb::Recordset count = sourceConnection_.Execute(countStatement_);
        if (!count.IsEOF() && count.Fields().Count() > 0) {
            const std::string_view text = count.Fields()[0].Value().Text();
            long long rows = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rows);
            if (error == std::errc() && end == text.data() + text.size())
                total_ = rows;
        }
    } catch (const std::exception&) {
    }

    const adodb::FieldList* fields = nullptr;
    std::size_t columns = 0;
    try {
        fields = &source_.Fields();
        columns = static_cast<std::size_t>(fields->Count());
    } catch (const std::exception&) {
    }
    bool more = fields != nullptr;
    std::unique_ptr<RowBatch> batch;
    for (;;) {
        batch = empty_->Pop(false);
        if (!batch)
            batch = std::make_unique<RowBatch>(columns);
        batch->Clear();
        while (more && batch->Rows() < kBatchRows && batch->Bytes() < kBatchBytes) {
            try {
                if (source_.IsEOF()) {
                    more = false;
                    break;
                }
            } catch (const adodb::Error& e) {
                batch->failures.push_back({batch->Rows(), ReadFailure::Step::kMoveNext, e, {}});
                more = false;
                break;
            }
            bool complete = true;
            for (std::size_t j = 0; j < columns; ++j) {
                try {
                    const adodb::Variant value = (*fields)[static_cast<int>(j)].Value();
                    if (value.IsNull()) {
                        batch->AddNull();
                    } else {
                        batch->AddText(value.Text());
                    }
                } catch (const std::exception& e) {
                    // A row whose values cannot all be read is reported, not written with
                    // gaps.
                    const auto* error = dynamic_cast<const adodb::Error*>(&e);
                    batch->failures.push_back({batch->Rows(), ReadFailure::Step::kReadField,
                                               error ? *error : adodb::Error(e.what()),
                                               batch->DropRow()});
                    complete = false;
                    if (error != nullptr && error->connectionLost())
                        more = false;
                    break;
                }
            }
            if (complete)
                batch->EndRow();
            if (!more)
                break;
            try {
                source_.MoveNext();
            } catch (const std::exception& e) {
                // A record set that cannot move on would give the same row for ever.
                const auto* error = dynamic_cast<const adodb::Error*>(&e);
                batch->failures.push_back({batch->Rows(),
                                           ReadFailure::Step::kMoveNext,
                                           error ? *error : adodb::Error(e.what()),
                                           {}});
                more = false;
            }
        }
        batch->endOfTable = !more;
        const bool last = batch->endOfTable;
        if (!full_->Push(std::move(batch)) || last)
            break;
    }
    full_->Close();
}

// ---- Writer thread ----

void RowCopy::Write() {
    std::unique_ptr<RowBatch> batch;
    while (!connectionLost_ && (batch = full_->Pop())) {
        std::size_t next = 0;
        for (const ReadFailure& failure : batch->failures) {
            WriteRange(*batch, next, failure.beforeRow);
            next = failure.beforeRow;
            if (connectionLost_)
                break;
            std::string statement;
            if (failure.step == ReadFailure::Step::kReadField) {
                // The report quotes the row's INSERT as far as it was built.
                target_.statement.Begin(statement);
                for (std::size_t j = 0; j < failure.valuesRead.size(); ++j) {
                    const auto& value = failure.valuesRead[j];
                    target_.statement.AddValue(statement, j,
                                               value ? adodb::Variant(*value) : adodb::Variant());
                }
            } else {
                statement = next > 0 ? InsertOf(*batch, next - 1) : lastStatement_;
            }
            ++handled_;
            ReportFailure(
                failure.step == ReadFailure::Step::kReadField ? lines_.readField : lines_.moveNext,
                failure.error, statement);
        }
        if (!connectionLost_) {
            WriteRange(*batch, next, batch->Rows());
            if (batch->Rows() > 0)
                lastStatement_ = InsertOf(*batch, batch->Rows() - 1);
        }
        const bool last = batch->endOfTable;
        empty_->Push(std::move(batch));
        if (last)
            break;
    }
    // Turns the reader away if it is still reading.
    full_->Close();
    empty_->Close();
    if (finished_)
        finished_();
}

void RowCopy::WriteRange(const RowBatch& batch, std::size_t first, std::size_t last) {
    while (first < last && !connectionLost_) {
        if (!target_.writer)
            return WriteRowsAlone(batch, first, last);
        const long long before = handled_;
        const WriteOutcome outcome = target_.writer->Write(batch, first, last, handled_);
        handled_ = before + static_cast<long long>(outcome.written);
        if (outcome.kind == WriteOutcome::Kind::kWritten)
            return;
        first += outcome.written;
        if (outcome.kind == WriteOutcome::Kind::kUnusable) {
            // The rows go through the driver from here on; if the database itself is gone,
            // the first of them says so.
            target_.writer.reset();
            continue;
        }
        if (first >= last)
            return;
        if (last - first == 1)
            return Isolate(batch, first);
        if (outcome.failedRow && *outcome.failedRow >= first && *outcome.failedRow < last) {
            // The rows before the refused one go in on their own, the refused one alone.
            const std::size_t refused = *outcome.failedRow;
            WriteRange(batch, first, refused);
            if (connectionLost_)
                return;
            Isolate(batch, refused);
            first = refused + 1;
        } else {
            const std::size_t middle = first + (last - first) / 2;
            WriteRange(batch, first, middle);
            first = middle;
        }
    }
}

void RowCopy::WriteRowsAlone(const RowBatch& batch, std::size_t first, std::size_t last) {
    for (std::size_t row = first; row < last && !connectionLost_; ++row)
        Isolate(batch, row);
}

std::string RowCopy::InsertOf(const RowBatch& batch, std::size_t row) const {
    std::string statement;
    target_.statement.Begin(statement);
    for (std::size_t j = 0; j < batch.Columns(); ++j)
        target_.statement.AddValue(statement, j, batch.Variant(row, j));
    target_.statement.End(statement);
    return statement;
}

void RowCopy::Isolate(const RowBatch& batch, std::size_t row) {
    const std::string statement = InsertOf(batch, row);
    try {
        target_.connection.Execute(statement);
    } catch (const adodb::Error& e) {
        ReportFailure(lines_.insert, e, statement);
    } catch (const std::exception& e) {
        ReportFailure(lines_.insert, adodb::Error(e.what()), statement);
    }
    ++handled_;
}

void RowCopy::ReportFailure(int line, const adodb::Error& error, const std::string& statement) {
    reports_.Report(line, error, statement);
    if (error.connectionLost())
        connectionLost_ = true;
}

}  // namespace korvanta
