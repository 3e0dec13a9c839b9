#include "sql/model/Condition.h"

namespace korvanta {

std::optional<std::string> ConditionProblem(std::string_view condition) {
    char quote = 0;  // the quote of the string or name the scan is in
    for (const char c : condition) {
        if (quote != 0) {
            if (c == quote)
                quote = 0;  // a doubled quote closes and opens again: the same
            continue;
        }
        if (c == '\'' || c == '"')
            quote = c;
        else if (c == ';')
            return "the condition \"" + std::string(condition) +
                   "\" holds a ';': it must be one condition, not statements";
    }
    if (quote != 0)
        return "the condition \"" + std::string(condition) + "\" leaves a quote open";
    return std::nullopt;
}

}  // namespace korvanta
