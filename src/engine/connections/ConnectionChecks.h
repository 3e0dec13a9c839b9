#pragma once

#include "engine/connections/ConnectionValues.h"

namespace korvanta {

// The two connection checks that decide whether the table window may be shown.
// Start-up and "Next >" go through this interface so that tests can see which
// checks ran.
class ConnectionChecks {
  public:
    virtual ~ConnectionChecks() = default;
    virtual bool PostgreSQL(const ConnectionValues& values) = 0;
    virtual bool Sybase(const ConnectionValues& values) = 0;
};

// The real checks: CanConnectPostgreSQL and CanConnectSybase.
class DatabaseChecks final : public ConnectionChecks {
  public:
    bool PostgreSQL(const ConnectionValues& values) override;
    bool Sybase(const ConnectionValues& values) override;
};

}  // namespace korvanta
