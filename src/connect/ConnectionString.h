#pragma once

#include <string>
#include <string_view>

#include "connect/ConnectionValues.h"

namespace korvanta {

// Each value goes in as typed, unless it could be read as more than itself: then it
// goes between braces (adodb::QuoteOdbcValue), so that no box can add keys to a string.

// "Driver={PostgreSQL Unicode};Server=...;Port=...;Uid=...;Pwd=...;Database=..."
std::string PostgreSQLConnectionString(const ConnectionValues& values);

// "Data Source=" and the data source name.
std::string SybaseConnectionString(const ConnectionValues& values);

}  // namespace korvanta
