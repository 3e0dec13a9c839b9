#pragma once

#include <string>

// What an ODBC driver gives at best for a query's rows: every column bound once as text of
// a fixed width, arrays of 512 rows per SQLFetch, nothing done with the values.
struct DriverRead {
    long rows = 0;
    double seconds = 0;
};
DriverRead BoundArrayRead(const std::string& connectionString, const std::string& query);
