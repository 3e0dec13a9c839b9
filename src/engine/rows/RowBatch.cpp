#include "engine/rows/RowBatch.h"

#include <cstring>
#include <stdexcept>

namespace korvanta {

namespace {
// The offsets of a batch's text are 32 bits: a batch ends before its text reaches its
// byte budget, so only a row of 4 GB of copied values could pass this.
constexpr std::size_t kMaxTextBytes = 0xFFFFFFFFu;
// A batch that once held a very large value gives its memory back rather than keep it for
// the rest of the table.
constexpr std::size_t kKeptTextBytes = std::size_t{32} << 20;
}  // namespace

void RowBatch::Clear() {
    rows_ = 0;
    rowStartText_ = 0;
    if (text_.capacity() > kKeptTextBytes)
        std::string().swap(text_);
    text_.clear();
    slots_.clear();
    rowStartHeld_ = 0;
    held_.clear();
    heldBytes_ = 0;
    kept_.clear();
    failures.clear();
    endOfTable = false;
    unstorable.reset();
}

void RowBatch::AddNull() {
    slots_.push_back({0, kNull});
}

void RowBatch::AddText(std::string_view text) {
    if (text.size() >= kHeldValue)
        throw std::length_error("A value of 4 GB or more cannot be copied.");
    if (text.size() > kMaxTextBytes - text_.size())
        throw std::length_error("A row of 4 GB or more cannot be copied.");
    // A large value gets exactly its room: doubling the buffer for it would cost up to
    // twice its size.
    if (text.size() > (std::size_t{1} << 20) && text_.capacity() - text_.size() < text.size())
        text_.reserve(text_.size() + text.size());
    slots_.push_back(
        {static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(text.size())});
    text_.append(text);
}

void RowBatch::ReplaceLast(std::size_t column, std::string_view text) {
    Slot& slot = slots_[(rows_ - 1) * columns_ + column];
    if (slot.length < kHeldValue && text.size() <= slot.length) {
        // Most often shorter: written over the old one (the new text may lie within it).
        std::memmove(text_.data() + slot.offset, text.data(), text.size());
        slot.length = static_cast<std::uint32_t>(text.size());
        return;
    }
    if (text.size() >= kHeldValue)
        throw std::length_error("A value of 4 GB or more cannot be copied.");
    if (text.size() > kMaxTextBytes - text_.size())
        throw std::length_error("A row of 4 GB or more cannot be copied.");
    const auto offset = static_cast<std::uint32_t>(text_.size());
    text_.append(text);
    slot = {offset, static_cast<std::uint32_t>(text.size())};
    rowStartText_ = text_.size();
}

void RowBatch::DropLastRow() noexcept {
    --rows_;
    slots_.resize(rows_ * columns_);
}

void RowBatch::AddHeld(std::string_view text, bool terminated) {
    if (text.size() >= kHeldValue)
        throw std::length_error("A value of 4 GB or more cannot be copied.");
    held_.push_back({text, terminated});
    heldBytes_ += text.size();
    slots_.push_back({static_cast<std::uint32_t>(held_.size() - 1), kHeldValue});
}

void RowBatch::EndRow() {
    ++rows_;
    rowStartText_ = text_.size();
    rowStartHeld_ = held_.size();
}

bool RowBatch::AddRowWithin(std::string_view memory, std::span<const adodb::Variant> values) {
    if (memory.size() >= kHeldValue || memory.size() > kMaxTextBytes - text_.size() ||
        values.size() != columns_ || slots_.size() != rows_ * columns_)
        return false;
    const std::size_t base = text_.size();
    for (const adodb::Variant& value : values) {
        if (value.IsNull()) {
            slots_.push_back({0, kNull});
            continue;
        }
        const std::string_view text = value.Text();
        if (!LiesWithin(text, memory)) {
            slots_.resize(rows_ * columns_);
            return false;
        }
        slots_.push_back({static_cast<std::uint32_t>(base + (text.data() - memory.data())),
                          static_cast<std::uint32_t>(text.size())});
    }
    try {
        text_.append(memory);
    } catch (...) {
        slots_.resize(rows_ * columns_);
        throw;
    }
    EndRow();
    return true;
}

std::vector<std::optional<std::string>> RowBatch::DropRow() {
    const std::size_t first = rows_ * columns_;
    std::vector<std::optional<std::string>> values;
    for (std::size_t i = first; i < slots_.size(); ++i) {
        const Slot& slot = slots_[i];
        if (slot.length == kNull) {
            values.emplace_back();
        } else {
            values.emplace_back(Text(rows_, i - first));
        }
    }
    DropRowQuietly();
    return values;
}

void RowBatch::DropRowQuietly() noexcept {
    slots_.resize(rows_ * columns_);
    text_.resize(rowStartText_);
    for (std::size_t i = rowStartHeld_; i < held_.size(); ++i)
        heldBytes_ -= held_[i].text.size();
    held_.resize(rowStartHeld_);
}

}  // namespace korvanta
