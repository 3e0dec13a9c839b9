#pragma once

#include <string>
#include <string_view>

namespace korvanta::cli {

// A table name as one line of text: as it is, unless it holds a control character (a line
// break would make it two lines, a carriage return would hide what came before) or starts
// with "$'"; then in the quoting that ls and bash use, $'...' with \n, \t, \r, \\, \' and
// \xHH escapes, which a shell reads back as the very name.
std::string NameForLine(std::string_view name);

}  // namespace korvanta::cli
