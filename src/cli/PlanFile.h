#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/Send.h"
#include "sql/model/Side.h"

namespace korvanta::cli {

// A plan file that cannot be used: unreadable, not YAML, an unknown key, a bad value. The
// text names the file and, where it can, the line.
struct PlanError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One table of a plan: each setting it gives, over the plan's defaults.
struct PlannedTable {
    std::string name;  // the source table
    TableOptions options;
};

// The tables of a send and their settings, as a plan file gives them:
//
//   to: postgresql            # the side that receives them (or --to)
//   defaults:                 # for every table, over the command line's options
//     if-exists: merge
//   tables:
//     orders:                 # a source table, in the order they go
//       target: orders_copy
//       key: [id]             # or "id,line"
//       since: updated_at
//       delete-missing: true
//       schema: exact
//       where: "status <> 'draft'"
//     customers: {}
//
// A table's keys are the command line's options of the same name.
struct Plan {
    std::optional<Side> target;
    std::vector<PlannedTable> tables;
};

// Reads the file; throws PlanError.
Plan ReadPlan(const std::string& path);

}  // namespace korvanta::cli
