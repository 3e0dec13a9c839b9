#pragma once

#include <sql.h>
#include <sqlext.h>

#include "adodb/Diagnostics.h"

// One move-only owner per kind of ODBC handle. Destructors free the handle and swallow
// errors; Check() reports a failed call on the handle as adodb::Error.
namespace adodb::detail {

class EnvironmentHandle {
  public:
    EnvironmentHandle();  // with ODBC 3 behaviour
    ~EnvironmentHandle();
    EnvironmentHandle(EnvironmentHandle&& other) noexcept;
    EnvironmentHandle& operator=(EnvironmentHandle&& other) noexcept;
    EnvironmentHandle(const EnvironmentHandle&) = delete;
    EnvironmentHandle& operator=(const EnvironmentHandle&) = delete;

    SQLHENV get() const noexcept { return handle_; }
    SQLRETURN Check(SQLRETURN rc) const;

  private:
    void Free() noexcept;
    SQLHENV handle_ = SQL_NULL_HENV;
};

class ConnectionHandle {
  public:
    explicit ConnectionHandle(const EnvironmentHandle& environment);
    ~ConnectionHandle();  // disconnects first when connected
    ConnectionHandle(ConnectionHandle&& other) noexcept;
    ConnectionHandle& operator=(ConnectionHandle&& other) noexcept;
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;

    SQLHDBC get() const noexcept { return handle_; }
    bool connected() const noexcept { return connected_; }
    TextApi api() const noexcept { return api_; }
    // Records a successful SQLDriverConnect made through the given flavour of functions.
    void SetConnected(TextApi api) noexcept;
    // SQLDisconnect, reporting failure; the handle stays allocated.
    void Disconnect();
    SQLRETURN Check(SQLRETURN rc) const;

  private:
    void Free() noexcept;
    SQLHDBC handle_ = SQL_NULL_HDBC;
    bool connected_ = false;
    TextApi api_ = TextApi::kAnsi;
};

class StatementHandle {
  public:
    explicit StatementHandle(const ConnectionHandle& connection);
    ~StatementHandle();
    StatementHandle(StatementHandle&& other) noexcept;
    StatementHandle& operator=(StatementHandle&& other) noexcept;
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;

    SQLHSTMT get() const noexcept { return handle_; }
    TextApi api() const noexcept { return api_; }
    // The connection the statement belongs to, for SQLGetInfo.
    SQLHDBC connectionHandle() const noexcept { return connection_; }
    SQLRETURN Check(SQLRETURN rc) const;

    // SQL_ATTR_QUERY_TIMEOUT, set only when it differs from the value last set.
    void SetQueryTimeout(int seconds);
    // SQLNumResultCols: 0 after a statement that returns no rows.
    SQLSMALLINT ResultColumnCount() const;
    // Closes an open cursor and discards pending results (SQLFreeStmt SQL_CLOSE).
    void CloseCursor();

  private:
    void Free() noexcept;
    SQLHSTMT handle_ = SQL_NULL_HSTMT;
    SQLHDBC connection_ = SQL_NULL_HDBC;  // not owning: the statement dies before it
    TextApi api_ = TextApi::kAnsi;
    int queryTimeout_ = -1;
};

}  // namespace adodb::detail
