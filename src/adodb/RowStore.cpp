#include "adodb/RowStore.h"

#include <algorithm>
#include <cstring>

namespace adodb::detail {

void RowStore::Append(std::string_view row) {
    if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < row.size()) {
        // Blocks double up to kMaxChunk, so a small result does not cost a full block.
        const std::size_t next =
            chunks_.empty() ? kFirstChunk : std::min(chunks_.back().capacity * 2, kMaxChunk);
        const std::size_t capacity = std::max(next, row.size());
        chunks_.push_back({std::make_unique_for_overwrite<char[]>(capacity), capacity, 0});
    }
    Chunk& chunk = chunks_.back();
    const std::size_t slot = rows_ % kOffsetsPerBlock;
    if (slot == 0) {
        offsetBlocks_.push_back(std::make_unique_for_overwrite<std::uint64_t[]>(kOffsetsPerBlock));
    }
    offsetBlocks_.back()[slot] =
        (static_cast<std::uint64_t>(chunks_.size() - 1) << 32) | chunk.used;
    if (!row.empty())
        std::memcpy(chunk.data.get() + chunk.used, row.data(), row.size());
    chunk.used += row.size();
    ++rows_;
}

const char* RowStore::Row(std::size_t index) const noexcept {
    const std::uint64_t entry = offsetBlocks_[index / kOffsetsPerBlock][index % kOffsetsPerBlock];
    return chunks_[entry >> 32].data.get() + (entry & 0xFFFFFFFFu);
}

}  // namespace adodb::detail
