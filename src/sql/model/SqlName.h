#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvanta {

// A table or column name as it stands in a statement: between double quotes, with
// every double quote inside it doubled, so that no name can end the quoting early.
// A name without double quotes is simply enclosed.
std::string QuotedName(std::string_view name);

// Names as a list of a statement: "a", "b".
std::string QuotedNames(const std::vector<std::string>& names);

}  // namespace korvanta
