#include "transfer/RowBatch.h"

#include <stdexcept>

namespace korvanta {

void RowBatch::Clear() {
    rows_ = 0;
    rowStartText_ = 0;
    text_.clear();
    slots_.clear();
    failures.clear();
    endOfTable = false;
}

void RowBatch::AddNull() {
    slots_.push_back({0, kNull});
}

void RowBatch::AddText(std::string_view text) {
    if (text.size() >= kNull)
        throw std::length_error("A value of 4 GB or more cannot be copied.");
    slots_.push_back({text_.size(), static_cast<std::uint32_t>(text.size())});
    text_.append(text);
}

void RowBatch::EndRow() {
    ++rows_;
    rowStartText_ = text_.size();
}

std::vector<std::optional<std::string>> RowBatch::DropRow() {
    const std::size_t first = rows_ * columns_;
    std::vector<std::optional<std::string>> values;
    for (std::size_t i = first; i < slots_.size(); ++i) {
        const Slot& slot = slots_[i];
        if (slot.length == kNull) {
            values.emplace_back();
        } else {
            values.emplace_back(text_.substr(slot.offset, slot.length));
        }
    }
    slots_.resize(first);
    text_.resize(rowStartText_);
    return values;
}

}  // namespace korvanta
