#pragma once

#include <string>
#include <vector>

#include "sql/dialect/Dialect.h"

namespace korvanta {

// A table's column names as the target will store them, checked before it is made.
struct NameCheck {
    // Names the target cuts: named, for the summary ("column ... is ... there").
    std::vector<std::string> notes;
    // What keeps the table from being made: a name the target refuses, two names it takes
    // for one (cut to the same bytes, or equal but for letter case where it ignores case).
    std::vector<std::string> problems;
};

NameCheck CheckColumnNames(const std::vector<std::string>& columns, const Dialect& target);

}  // namespace korvanta
