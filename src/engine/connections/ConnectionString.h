#pragma once

#include <string>
#include <string_view>

#include "engine/connections/ConnectionValues.h"

namespace korvanta {

// Each value goes in exactly as typed wherever the driver reads it so; only a password
// that psqlODBC would decode or cut short goes between braces (adodb/OdbcValue.h). A value
// that its key cannot carry raises adodb::Error naming the box and the character, before
// any connection is attempted: it can never open another database.

// "Driver={PostgreSQL Unicode};Server=...;Port=...;Uid=...;Pwd=...;Database=..."
std::string PostgreSQLConnectionString(const ConnectionValues& values);

// "Data Source=" and the data source name.
std::string SybaseConnectionString(const ConnectionValues& values);

}  // namespace korvanta
