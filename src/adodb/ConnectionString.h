#pragma once

#include <string>
#include <string_view>

namespace adodb::detail {

// The string for SQLDriverConnect. A string whose first key is "Data Source" names an
// ODBC data source the way the OLE DB provider for ODBC takes it; the driver manager
// knows the key as DSN, so "Data Source=name;User ID=u;Password=p" becomes
// "DSN=name;UID=u;PWD=p" (values quoted with " or ' or between braces lose their quotes,
// values that need it go between braces; an empty name leaves DSN out, so that the driver
// manager reports it missing). Any other string goes to the driver manager unchanged.
std::string ToOdbcConnectionString(std::string_view connectionString);

}  // namespace adodb::detail

namespace adodb {

// A value as an ODBC connection string carries it: between braces, with "}" doubled,
// when it contains ; { } = + % or starts or ends with a blank (psqlODBC reads braced
// values literally and would percent-decode an unbraced "+" or "%"); otherwise exactly
// as it is.
std::string QuoteOdbcValue(std::string_view value);

}  // namespace adodb
