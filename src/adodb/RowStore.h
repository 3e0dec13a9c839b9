#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace adodb::detail {

// The rows of a client-side record set, appended once and then read by position. Rows
// are copied into large blocks (growing to 1 MiB; a row never spans blocks, a larger row
// gets a block of its own) and found through one 8-byte offset per row, itself kept in
// fixed-size blocks, so nothing big is ever reallocated and copied while rows arrive.
class RowStore {
  public:
    void Append(std::string_view row);
    std::size_t size() const noexcept { return rows_; }
    const char* Row(std::size_t index) const noexcept;

    static constexpr std::size_t kMaxChunk = std::size_t{1} << 20;
    static constexpr std::size_t kFirstChunk = std::size_t{1} << 14;
    static constexpr std::size_t kOffsetsPerBlock = 4096;

  private:
    struct Chunk {
        std::unique_ptr<char[]> data;
        std::size_t capacity;
        std::size_t used;
    };
    std::vector<Chunk> chunks_;
    // Entry: chunk index in the upper 32 bits, byte position in the lower 32.
    std::vector<std::unique_ptr<std::uint64_t[]>> offsetBlocks_;
    std::size_t rows_ = 0;
};

}  // namespace adodb::detail
