#pragma once

#include <sql.h>
#include <sqlext.h>

namespace adodb::detail {

// Which flavour of the text-taking ODBC functions a connection uses: see ConnectionState.cpp.
enum class TextApi { kAnsi, kWide };

// Where the diagnostics of a failed call are read from.
struct DiagnosticSource {
    SQLSMALLINT handleType;
    SQLHANDLE handle;
    TextApi api;
    // The open connection the handle belongs to, asked whether it died when the call failed;
    // SQL_NULL_HDBC before the connection is open.
    SQLHDBC liveConnection;
};

// The one check of every ODBC return code: SQL_SUCCESS, SQL_SUCCESS_WITH_INFO and
// SQL_NO_DATA come back to the caller, anything else raises adodb::Error carrying the
// message text of all diagnostic records (one per line), the first SQLSTATE and its
// native code.
SQLRETURN Check(SQLRETURN rc, const DiagnosticSource& source);

}  // namespace adodb::detail
