#pragma once

#include <string>
#include <vector>

#include "engine/send/SendSession.h"
#include "sql/statements/ExistingTable.h"

namespace korvanta {

// A merge's key as the target names it; empty, reported, when the table takes no merge by
// it (no such key, or one that repeats among the source's rows).
std::vector<std::string> MergeKeyOf(SendSession& session, const SentTable& table,
                                    const TableSchema& target, const ExistingFit& fit,
                                    const std::vector<std::string>& read);

// The source's condition for --since: its rows at or after the target's largest value of the
// column; empty when the target holds none. Raises the driver's error.
std::string SinceCondition(SendSession& session, const SentTable& table,
                           const std::vector<std::string>& read, const ExistingFit& fit);

// Deletes the target's rows whose key the source no longer holds: the source's keys staged
// on the target, then one DELETE of the rows without one, in a transaction.
void DeleteMissing(SendSession& session, SentTable& table, const ExistingFit& fit,
                   const std::vector<std::string>& read, const std::vector<std::string>& key);

}  // namespace korvanta
