#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "engine/rows/RowBatch.h"

namespace korvanta {

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
    // Whether a Push() now would wait for the other thread to take a batch.
    bool Full() {
        std::lock_guard lock(mutex_);
        return !closed_ && batches_.size() >= capacity_;
    }
    void Close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    bool Closed() {
        std::lock_guard lock(mutex_);
        return closed_;
    }

    explicit BatchQueue(std::size_t capacity) : capacity_(capacity) {}

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<RowBatch>> batches_;
    std::size_t capacity_;
    bool closed_ = false;
};

}  // namespace korvanta
