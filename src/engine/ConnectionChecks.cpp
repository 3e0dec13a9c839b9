#include "engine/ConnectionChecks.h"

#include "engine/PostgreSQL.h"
#include "engine/Sybase.h"

namespace korvanta {

bool DatabaseChecks::PostgreSQL(const ConnectionValues& values) {
    return CanConnectPostgreSQL(values);
}

bool DatabaseChecks::Sybase(const ConnectionValues& values) {
    return CanConnectSybase(values);
}

}  // namespace korvanta
