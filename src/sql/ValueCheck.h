#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sql/Side.h"

namespace korvanta {

// Why the target cannot hold this text exactly, in the words PostgreSQL uses for the same
// fault; nullopt when it can. Text must be valid UTF-8 (both databases store UTF-8), and
// PostgreSQL text cannot hold a NUL character. Such a value is never mended on the way:
// its row is refused and reported.
std::optional<std::string> UnstorableText(std::string_view text, Side target);

}  // namespace korvanta
