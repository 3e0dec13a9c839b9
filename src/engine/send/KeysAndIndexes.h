#pragma once

#include <string>

#include "adodb/Connection.h"
#include "engine/rows/FailurePolicy.h"
#include "sql/statements/TablePlan.h"

namespace korvanta {

// Runs one statement that builds part of a table (a key, an index, a foreign key), waiting
// out a lock as other statements do; then, should it fail, the same without the source's
// name for it (the name may be taken). Empty when it went in; else why not, with the number
// of rows that break it when the step can count them (the database's own words follow in
// `error`).
std::string RunSchemaStep(adodb::Connection& target, const SchemaStep& step, TransientBudget budget,
                          std::string& error);

}  // namespace korvanta
