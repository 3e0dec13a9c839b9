#pragma once

#include <string>
#include <vector>

#include "adodb/Connection.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/Schema.h"

namespace korvanta {

// Why a merge by `key` (the source's columns) cannot keep every source row: some value of
// the key repeats among the rows read (those meeting `where`), and a merge keeps one row
// of each key. Empty when the key is unique: by the source's primary key or a unique index
// on those very columns, else as the source counts. Raises the driver's error.
std::string RepeatedKeys(adodb::Connection& source, const Dialect& dialect,
                         const TableSchema& table, const std::string& where,
                         const std::vector<std::string>& key);

}  // namespace korvanta
