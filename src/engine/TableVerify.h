#pragma once

#include <string>
#include <vector>

#include "adodb/Connection.h"
#include "engine/TableChecksum.h"
#include "sql/SourceQuery.h"

namespace korvanta {

// Reads the target's table back and compares it with the rows that landed: empty when
// they match, else what differs ("rows 10 and 9", "column 2 (label)"). From PostgreSQL the
// values are read as the source side reads them, so both are in the same text forms.
// Raises the driver's error when the table cannot be read.
std::string VerifyTable(adodb::Connection& target, bool postgreSQL, const std::string& table,
                        const std::vector<SourceField>& fields, const TableChecksum& landed);

}  // namespace korvanta
