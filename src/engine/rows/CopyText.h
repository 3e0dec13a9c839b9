#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace korvanta {

// Rows in COPY's text format on their way to the server. Values are escaped straight into
// a buffer that grows by hand: a byte costs no bounds check of its own, and a value
// without escapes is stored a word at a time.
class CopyText {
  public:
    // One value: backslash, tab, newline and carriage return escaped, Null as \N. The text
    // is taken as it is: values the target cannot store are refused before they get here.
    void AddValue(std::optional<std::string_view> value);
    // Bytes of a value, escaped (a slice of a large one: no escape spans two bytes).
    void AddEscaped(std::string_view text);
    // Bytes as they are: a separator, a line's end, a prefix.
    void Add(std::string_view bytes);
    void Add(char byte) { *Room(1) = byte, ++size_; }

    std::string_view View() const noexcept { return {data_.get(), size_}; }
    std::size_t Size() const noexcept { return size_; }
    void Clear() noexcept { size_ = 0; }
    // Empties it, and gives back a buffer that a large value grew beyond `bytes`.
    void Trim(std::size_t bytes) noexcept;

  private:
    // Where the next bytes go, with room for `bytes` of them.
    char* Room(std::size_t bytes) {
        return capacity_ - size_ >= bytes ? data_.get() + size_ : Grow(bytes);
    }
    char* Grow(std::size_t bytes);

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace korvanta
