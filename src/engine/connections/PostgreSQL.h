#pragma once

#include "adodb/Connection.h"
#include "engine/connections/ConnectionValues.h"

namespace korvanta {

// Opens the given connection object (options already set by the caller) on the
// PostgreSQL database of the connection values. Raises adodb::Error on failure.
void OpenPostgreSQL(adodb::Connection& connection, const ConnectionValues& values);

// True when a PostgreSQL connection opens without error; never reports.
bool CanConnectPostgreSQL(const ConnectionValues& values);

}  // namespace korvanta
