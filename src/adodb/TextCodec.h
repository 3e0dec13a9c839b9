#pragma once

#include <sqltypes.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Conversions between the layer's UTF-8 text and what ODBC calls take or give:
// UTF-16 SQLWCHAR strings (two bytes each on unixODBC) and binary data shown as hex.
namespace adodb::detail {

// Replaces out with the UTF-16 form of utf8 followed by a terminating zero. Malformed
// UTF-8 becomes U+FFFD.
void Utf8ToUtf16(std::string_view utf8, std::vector<SQLWCHAR>& out);
// The same into out (room for utf8.size() + 1 code units); returns the code units written
// before the terminating zero.
std::size_t Utf8ToUtf16(std::string_view utf8, SQLWCHAR* out);
// How many UTF-16 code units Utf8ToUtf16 makes of utf8.
std::size_t Utf16Length(std::string_view utf8);
// The longest start of utf8 of at most `most` bytes (and at least one byte when utf8 has
// any) that converts as it would within the whole: it ends before a lead byte.
std::size_t Utf8Piece(std::string_view utf8, std::size_t most);

// Appends the UTF-8 form of count UTF-16 code units. An unpaired surrogate becomes U+FFFD.
void AppendUtf8(std::string& out, const SQLWCHAR* utf16, std::size_t count);

// The value of a hexadecimal digit, either case; -1 for any other character.
int HexDigit(char c) noexcept;

// Appends two lower-case hex digits per byte.
void AppendHex(std::string& out, const unsigned char* bytes, std::size_t count);

bool IsAscii(std::string_view text) noexcept;

// The shortest text that reads back as the same double (or float): "0.14285714285714285",
// "1e+300", "-0"; infinities and NaN as PostgreSQL writes them ("Infinity", "-Infinity",
// "NaN"). Appended to out.
void AppendDouble(std::string& out, double value);
void AppendFloat(std::string& out, float value);

// Where the first malformed UTF-8 sequence starts; npos when there is none.
std::size_t FirstInvalidUtf8(std::string_view text) noexcept;

// Equal but for the letter case of ASCII letters: keys of connection strings, field names.
bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept;

}  // namespace adodb::detail
