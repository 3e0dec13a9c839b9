#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/ArrayInsert.h"
#include "adodb/Error.h"
#include "adodb/RowSink.h"
#include "adodb/Variant.h"
#include "sql/model/ValueCheck.h"

namespace korvanta {

// Whether `part` lies inside `whole` (pointers compared in their total order).
inline bool LiesWithin(std::string_view part, std::string_view whole) {
    const std::less_equal<const char*> atOrBefore;
    return atOrBefore(whole.data(), part.data()) &&
           atOrBefore(part.data() + part.size(), whole.data() + whole.size());
}

// Something that went wrong while a row was read, kept in its place among the rows so
// that it is reported in the order of the rows.
struct ReadFailure {
    enum class Step { kReadField, kMoveNext };
    std::size_t beforeRow;  // how many rows of the batch come before it
    Step step;
    adodb::Error error;
    std::vector<std::optional<std::string>> valuesRead;  // of the failed row, before it failed
};

// Rows read from a source and not yet written: every value Null or its UTF-8 text, kept
// in one buffer per batch, so that a batch of thousands of rows costs a few allocations.
class RowBatch final : public adodb::TextRows, public adodb::RowSink {
  public:
    explicit RowBatch(std::size_t columns) : columns_(columns) {}

    // Empties the batch, keeping its buffers.
    void Clear();

    // A row is built value by value in column order, then ended, or dropped when one of
    // its values cannot be read.
    void AddNull() override;
    void AddText(std::string_view text) override;
    // A value kept where it is, in memory that Keep() is given before the batch is cleared:
    // a large value costs no copy. `terminated`: a NUL byte follows it there.
    void AddHeld(std::string_view text, bool terminated);
    void EndRow() override;
    // A whole row at once, its values all lying within `memory`: the memory is copied in
    // one piece and each value found in the copy where it lay. False, with nothing added,
    // when a value lies elsewhere.
    bool AddRowWithin(std::string_view memory, std::span<const adodb::Variant> values);
    // Holds memory that values of the batch live in until the batch is cleared.
    void Keep(std::shared_ptr<const void> memory) { kept_.push_back(std::move(memory)); }
    // Puts another value in place of a value of the last row ended: written over the old
    // one where it fits, else after the text (the old bytes then stay unused until cleared).
    void ReplaceLast(std::size_t column, std::string_view text);
    // Forgets the last row ended, which held no value kept where it was read.
    void DropLastRow() noexcept;
    // Forgets the values of the row being built; returns them.
    std::vector<std::optional<std::string>> DropRow();
    // The same without keeping the values: it allocates nothing.
    void DropRowQuietly() noexcept;

    std::size_t Rows() const noexcept { return rows_; }
    std::size_t Columns() const noexcept { return columns_; }
    // Memory held by the rows, roughly.
    std::size_t Bytes() const noexcept {
        return text_.size() + heldBytes_ + slots_.size() * sizeof(Slot);
    }

    bool IsNull(std::size_t row, std::size_t column) const {
        return At(row, column).length == kNull;
    }
    std::string_view Text(std::size_t row, std::size_t column) const {
        const Slot& slot = At(row, column);
        if (slot.length < kHeldValue)
            return std::string_view(text_.data() + slot.offset, slot.length);
        if (slot.length == kNull)
            return {};
        return held_[slot.offset].text;
    }
    // Whether a NUL byte follows the value in memory (one kept where it was read).
    bool Terminated(std::size_t row, std::size_t column) const override {
        const Slot& slot = At(row, column);
        return slot.length == kHeldValue && held_[slot.offset].terminated;
    }
    adodb::Variant Variant(std::size_t row, std::size_t column) const {
        return IsNull(row, column) ? adodb::Variant() : adodb::Variant(Text(row, column));
    }
    std::optional<std::string_view> Value(std::size_t row, std::size_t column) const override {
        if (IsNull(row, column))
            return std::nullopt;
        return Text(row, column);
    }

    std::vector<ReadFailure> failures;  // in row order
    long long firstRow = 1;             // the source row number of the batch's first row
                                        // (rows that failed to read count too)
    bool endOfTable = false;            // nothing of the table follows this batch
    // A row holding a value the target cannot keep exactly, and why.
    struct Unstorable {
        std::size_t row;
        ValueProblem why;
    };
    // Those rows in row order, once the values were checked: by the reader when the writer
    // is behind, else by the writer.
    std::optional<std::vector<Unstorable>> unstorable;

  private:
    // A slot is 8 bytes, as many as a short value: its value's offset in text_ and its
    // length, or one of these marks in place of the length.
    static constexpr std::uint32_t kNull = 0xFFFFFFFFu;
    static constexpr std::uint32_t kHeldValue = 0xFFFFFFFEu;  // offset: an index into held_
    struct Slot {
        std::uint32_t offset;
        std::uint32_t length;
    };
    struct HeldValue {
        std::string_view text;
        bool terminated;
    };
    const Slot& At(std::size_t row, std::size_t column) const {
        return slots_[row * columns_ + column];
    }

    std::size_t columns_;
    std::size_t rows_ = 0;
    std::size_t rowStartText_ = 0;  // where the row being built begins
    std::size_t rowStartHeld_ = 0;
    std::string text_;
    std::vector<Slot> slots_;
    std::vector<HeldValue> held_;  // values kept where they were read
    std::size_t heldBytes_ = 0;
    std::vector<std::shared_ptr<const void>> kept_;  // the memory they are in
};

}  // namespace korvanta
