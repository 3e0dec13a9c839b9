#pragma once

#include <string>
#include <string_view>

namespace adodb::detail {

// The string for SQLDriverConnect. A string whose first key is "Data Source" names an
// ODBC data source the way the OLE DB provider for ODBC takes it; the driver manager
// knows the key as DSN, so "Data Source=name;User ID=u;Password=p" becomes
// "DSN=name;UID=u;PWD=p". Values quoted with " or ' or between braces lose their quotes
// and then go in as OdbcValue.h describes: the name never between braces (one the DSN key
// cannot carry raises Error), the password as psqlODBC reads it. An empty name leaves DSN
// out, so that the driver manager reports it missing. Any other string goes to the driver
// manager unchanged.
std::string ToOdbcConnectionString(std::string_view connectionString);

// The string for a connection whose queries are read whole by the client. psqlODBC
// otherwise keeps every row of a result in memory of its own before the first fetch,
// beside the record set's compact copy: several times the table's size. Asked to fetch
// through a server cursor, 256 rows at a time, it holds no more than that. A string
// that names another driver, or sets UseDeclareFetch itself, stays as it is.
std::string ForClientSideReading(std::string odbcConnectionString);

}  // namespace adodb::detail

namespace adodb {

// "Data Source=" and the name, which ToOdbcConnectionString reads back as exactly that
// name (between double quotes when it starts with a quote, which the OLE DB form would
// otherwise take off). Raises Error for a name that the DSN key cannot carry.
std::string DataSourceConnectionString(std::string_view name);

}  // namespace adodb
