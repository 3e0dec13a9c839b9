#include "engine/connections/ConnectionChecks.h"

#include "engine/connections/PostgreSQL.h"
#include "engine/connections/Sybase.h"

namespace korvanta {

bool DatabaseChecks::PostgreSQL(const ConnectionValues& values) {
    return CanConnectPostgreSQL(values);
}

bool DatabaseChecks::Sybase(const ConnectionValues& values) {
    return CanConnectSybase(values);
}

}  // namespace korvanta
