#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "adodb/Connection.h"
#include "engine/rows/CopyConnection.h"
#include "engine/rows/TableChecksum.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/ValueCheck.h"

namespace korvanta {

// Reads the target's table back, as a send reads a source (TableRows), and compares it
// with the rows that landed, each column's values as its type compares them (`rules`):
// empty when they match, else what differs ("rows 10 and 9", "column 2 (label)"). Raises
// the driver's error when the table cannot be read. A PostgreSQL target is read over `wire`
// when given.
std::string VerifyTable(adodb::Connection& target, std::shared_ptr<const Dialect> dialect,
                        const std::string& table, const std::vector<ValueRule>& rules,
                        const TableChecksum& landed, PostgresCopyConnection* wire = nullptr);

}  // namespace korvanta
