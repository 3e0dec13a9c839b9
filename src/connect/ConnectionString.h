#pragma once

#include <string>
#include <string_view>

#include "connect/ConnectionValues.h"

namespace korvanta {

// One value of an ODBC connection string. A value that could be read as more than
// itself (holding ; { } = + %, or starting or ending with a blank) goes between
// braces with every "}" doubled; psqlODBC reads braced values literally and would
// percent-decode an unbraced "+" or "%". Every other value stays exactly as typed.
std::string ConnectionStringValue(std::string_view value);

// "Driver={PostgreSQL Unicode};Server=...;Port=...;Uid=...;Pwd=...;Database=..."
std::string PostgreSQLConnectionString(const ConnectionValues& values);

// "Data Source=" and the data source name.
std::string SybaseConnectionString(const ConnectionValues& values);

}  // namespace korvanta
