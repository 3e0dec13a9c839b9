#pragma once

#include <string>
#include <string_view>

#include "sql/model/Side.h"

namespace korvanta {

// DROP TABLE "{table}": no schema, no semicolon.
std::string DropTableStatement(std::string_view table);

// SQL Anywhere: ALTER TABLE "{old}" RENAME "{new}";
// PostgreSQL:   ALTER TABLE "{old}" RENAME TO "{new}";
std::string RenameTableStatement(Side side, std::string_view oldName, std::string_view newName);

}  // namespace korvanta
