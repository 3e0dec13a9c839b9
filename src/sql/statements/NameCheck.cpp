#include "sql/statements/NameCheck.h"

#include <unordered_map>

#include "sql/dialect/CatalogText.h"
#include "sql/model/SqlName.h"

namespace korvanta {

NameCheck CheckColumnNames(const std::vector<std::string>& columns, const Dialect& target) {
    NameCheck check;
    const bool caseBlind = target.Names().caseBlind;
    // Each stored name (lowered where the target ignores case) and the column that has it.
    std::unordered_map<std::string, std::string> seen;
    for (const std::string& column : columns) {
        std::string why;
        const std::optional<std::string> stored = target.StoredName(column, why);
        if (!stored) {
            check.problems.push_back(why);
            continue;
        }
        if (*stored != column)
            check.notes.push_back("column name " + QuotedName(column) + ": " +
                                  std::string(target.Name()) + " keeps " +
                                  std::to_string(target.Names().longestBytes) +
                                  " bytes of a name: it is " + QuotedName(*stored) + " there");
        const std::string key = caseBlind ? catalogtext::Lower(*stored) : *stored;
        const auto [at, fresh] = seen.emplace(key, column);
        if (!fresh)
            check.problems.push_back("the columns " + QuotedName(at->second) + " and " +
                                     QuotedName(column) + " would be one column " +
                                     QuotedName(*stored) + " on " + std::string(target.Name()));
    }
    return check;
}

}  // namespace korvanta
