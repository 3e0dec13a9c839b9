#pragma once

#include <string>
#include <string_view>

namespace adodb {

// A field's value in the current row: Null, or its text form. The text is UTF-8,
// what the driver gives as character data, with "." as the decimal separator and
// ISO dates and times whatever the locale; binary values are lower-case hexadecimal
// digits, two per byte. A Variant views the record set's storage: it stays valid
// until the record set moves or closes.
class Variant {
  public:
    Variant() = default;  // Null
    explicit Variant(std::string_view text) : text_(text), null_(false) {}

    bool IsNull() const noexcept { return null_; }
    // The text form; the empty text for Null.
    std::string_view Text() const noexcept { return text_; }
    std::string ToString() const { return std::string(text_); }

  private:
    std::string_view text_;
    bool null_ = true;
};

}  // namespace adodb
