#pragma once

#include "adodb/Connection.h"
#include "engine/connections/ConnectionValues.h"
#include "sql/dialect/Dialect.h"

namespace korvanta {

// Opens the given connection object (options already set by the caller) on the
// SQL Anywhere data source of the connection values. Raises adodb::Error on failure.
void OpenSybase(adodb::Connection& connection, const ConnectionValues& values);

// True when the SQL Anywhere data source opens without error; never reports.
bool CanConnectSybase(const ConnectionValues& values);

// The dialect of the database behind an open connection to the data source, from the
// DBMS name its driver gives (asked here, once per connection); the generic one when the
// driver does not say.
std::shared_ptr<const Dialect> DialectOfDataSource(adodb::Connection& connection);

}  // namespace korvanta
