#include "cli/TableSelection.h"

#include <fnmatch.h>

#include <algorithm>

namespace korvanta::cli {

TableSelection SelectTables(const std::vector<std::string>& operands, bool all,
                            const std::vector<std::string>& sourceList) {
    TableSelection selection;
    const auto add = [&](const std::string& name) {
        if (std::find(selection.tables.begin(), selection.tables.end(), name) ==
            selection.tables.end())
            selection.tables.push_back(name);
    };
    if (all) {
        for (const std::string& name : sourceList)
            add(name);
    }
    for (const std::string& operand : operands) {
        if (operand.find_first_of("*?[") == std::string::npos) {
            add(operand);
            continue;
        }
        bool any = false;
        for (const std::string& name : sourceList) {
            if (fnmatch(operand.c_str(), name.c_str(), 0) == 0) {
                add(name);
                any = true;
            }
        }
        if (!any)
            selection.unmatched.push_back(operand);
    }
    return selection;
}

}  // namespace korvanta::cli
