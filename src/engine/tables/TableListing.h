#pragma once

#include <string>
#include <vector>

#include "engine/connections/ConnectionValues.h"
#include "sql/model/Side.h"

namespace korvanta {

// The tables of one side, as the table lists show them. PostgreSQL: the tables that their
// bare names reach on the connection's search path (ordinary and partitioned tables
// visible there, each name once, partitions not), without the system catalogue and the
// information schema. SQL Anywhere: the base tables of the data source whose names do not
// contain "SYS" in any letter case nor start with "sqlite_"; views and system tables are
// left out. Errors go to the caller.
std::vector<std::string> ListTableNames(Side side, const ConnectionValues& values);

// The same in the order the lists show them (NameOrder): what every front end lists.
std::vector<std::string> SortedTableNames(Side side, const ConnectionValues& values);

}  // namespace korvanta
