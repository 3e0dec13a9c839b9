#pragma once

#include "adodb/Connection.h"
#include "engine/connections/ConnectionValues.h"

namespace korvanta {

// Opens the given connection object (options already set by the caller) on the
// SQL Anywhere data source of the connection values. Raises adodb::Error on failure.
void OpenSybase(adodb::Connection& connection, const ConnectionValues& values);

// True when the SQL Anywhere data source opens without error; never reports.
bool CanConnectSybase(const ConnectionValues& values);

}  // namespace korvanta
