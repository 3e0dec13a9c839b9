#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvanta {

// Why a user's condition (--where) cannot be run: a ';' outside its strings and quoted
// names, which would end the read's statement and start another that a driver might run.
// nullopt when it can go into the read's one statement, between parentheses.
std::optional<std::string> ConditionProblem(std::string_view condition);

}  // namespace korvanta
