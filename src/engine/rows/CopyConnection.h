#pragma once

#include <memory>

#include "engine/connections/ConnectionValues.h"

struct pg_conn;

namespace korvanta {

// A libpq connection to the PostgreSQL database of the connection window, used only for
// COPY, the fastest way PostgreSQL takes rows. Every wait on it is bounded: TCP keepalives
// find a dead peer, and each command has the run's command timeout, after which it is
// cancelled and the connection counts as lost.
class PostgresCopyConnection {
  public:
    // Connects with the same server, port, user, password and database as the driver;
    // nullptr when that fails (the caller then writes through the driver instead).
    static std::unique_ptr<PostgresCopyConnection> Open(const ConnectionValues& values,
                                                        const TransferSettings& settings);
    ~PostgresCopyConnection();
    PostgresCopyConnection(const PostgresCopyConnection&) = delete;
    PostgresCopyConnection& operator=(const PostgresCopyConnection&) = delete;

    pg_conn* get() const noexcept { return connection_; }
    bool Broken() const;
    // Opens the connection again after it broke; false when that fails.
    bool Reopen();
    // Closes a connection left in a state no command can follow (a reading stopped midway,
    // an answer that never came): Broken() from then on.
    void Abandon();

    const ConnectionValues& values() const noexcept { return values_; }
    const TransferSettings& settings() const noexcept { return settings_; }

  private:
    PostgresCopyConnection(pg_conn* connection, ConnectionValues values, TransferSettings settings)
        : connection_(connection), values_(std::move(values)), settings_(settings) {}
    static pg_conn* Connect(const ConnectionValues& values, const TransferSettings& settings);

    pg_conn* connection_;  // owned: PQfinish in the destructor
    ConnectionValues values_;
    TransferSettings settings_;
};

}  // namespace korvanta
