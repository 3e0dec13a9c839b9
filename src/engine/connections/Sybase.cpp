#include "engine/connections/Sybase.h"

#include "engine/connections/ConnectionString.h"

namespace korvanta {

void OpenSybase(adodb::Connection& connection, const ConnectionValues& values) {
    connection.Open(SybaseConnectionString(values));
}

bool CanConnectSybase(const ConnectionValues& values) {
    adodb::Connection connection;
    try {
        connection.Provider = "MSDASQL";
        OpenSybase(connection, values);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace korvanta
