#include "engine/connections/PostgreSQL.h"

#include "engine/connections/ConnectionString.h"

namespace korvanta {

void OpenPostgreSQL(adodb::Connection& connection, const ConnectionValues& values) {
    connection.Open(PostgreSQLConnectionString(values));
}

bool CanConnectPostgreSQL(const ConnectionValues& values) {
    adodb::Connection connection;
    try {
        OpenPostgreSQL(connection, values);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace korvanta
