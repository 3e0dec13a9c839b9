#include "engine/connections/Sybase.h"

#include "engine/connections/ConnectionString.h"

namespace korvanta {

void OpenSybase(adodb::Connection& connection, const ConnectionValues& values) {
    connection.Open(SybaseConnectionString(values));
}

bool CanConnectSybase(const ConnectionValues& values) {
    adodb::Connection connection;
    try {
        OpenSybase(connection, values);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::shared_ptr<const Dialect> DialectOfDataSource(adodb::Connection& connection) {
    std::string dbms;
    try {
        dbms = connection.DbmsName();
    } catch (const std::exception&) {
        // Not said: any data source.
    }
    return DialectOf(Side::SqlAnywhere, dbms);
}

}  // namespace korvanta
