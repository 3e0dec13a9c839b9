#pragma once

#include <string>
#include <vector>

namespace korvanta::cli {

// The tables a send takes, in the order given: a plain name as written even when the
// source's list does not show it, a shell pattern (*, ?, [...]) its matches in the list's
// order, --all the whole list; each table once, where it first comes.
struct TableSelection {
    std::vector<std::string> tables;
    std::vector<std::string> unmatched;  // patterns that matched no table of the list
};
TableSelection SelectTables(const std::vector<std::string>& operands, bool all,
                            const std::vector<std::string>& sourceList);

}  // namespace korvanta::cli
