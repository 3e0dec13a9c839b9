#include "connect/ConnectionChecks.h"

#include "connect/PostgreSQL.h"
#include "connect/Sybase.h"

namespace korvanta {

bool DatabaseChecks::PostgreSQL(const ConnectionValues& values) {
    return CanConnectPostgreSQL(values);
}

bool DatabaseChecks::Sybase(const ConnectionValues& values) {
    return CanConnectSybase(values);
}

}  // namespace korvanta
