#include "adodb/Handles.h"

#include <utility>

namespace adodb::detail {

// ---- EnvironmentHandle ----

EnvironmentHandle::EnvironmentHandle() {
    Check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle_));
    try {
        Check(SQLSetEnvAttr(handle_, SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0));
    } catch (...) {
        Free();
        throw;
    }
}

EnvironmentHandle::~EnvironmentHandle() {
    Free();
}

EnvironmentHandle::EnvironmentHandle(EnvironmentHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

EnvironmentHandle& EnvironmentHandle::operator=(EnvironmentHandle&& other) noexcept {
    if (this != &other) {
        Free();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

SQLRETURN EnvironmentHandle::Check(SQLRETURN rc) const {
    return detail::Check(rc, {SQL_HANDLE_ENV, handle_, TextApi::kAnsi, SQL_NULL_HDBC});
}

void EnvironmentHandle::Free() noexcept {
    if (handle_ != SQL_NULL_HENV)
        SQLFreeHandle(SQL_HANDLE_ENV, handle_);
    handle_ = SQL_NULL_HENV;
}

// ---- ConnectionHandle ----

ConnectionHandle::ConnectionHandle(const EnvironmentHandle& environment) {
    environment.Check(SQLAllocHandle(SQL_HANDLE_DBC, environment.get(), &handle_));
}

ConnectionHandle::~ConnectionHandle() {
    Free();
}

ConnectionHandle::ConnectionHandle(ConnectionHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      connected_(std::exchange(other.connected_, false)),
      api_(other.api_) {}

ConnectionHandle& ConnectionHandle::operator=(ConnectionHandle&& other) noexcept {
    if (this != &other) {
        Free();
        handle_ = std::exchange(other.handle_, nullptr);
        connected_ = std::exchange(other.connected_, false);
        api_ = other.api_;
    }
    return *this;
}

void ConnectionHandle::SetConnected(TextApi api) noexcept {
    connected_ = true;
    api_ = api;
}

void ConnectionHandle::Disconnect() {
    if (!connected_)
        return;
    // The handle counts as disconnected even when the driver complains: there is
    // nothing left to do with it but free it.
    connected_ = false;
    detail::Check(SQLDisconnect(handle_), {SQL_HANDLE_DBC, handle_, api_, SQL_NULL_HDBC});
}

SQLRETURN ConnectionHandle::Check(SQLRETURN rc) const {
    return detail::Check(rc, {SQL_HANDLE_DBC, handle_, api_, connected_ ? handle_ : SQL_NULL_HDBC});
}

void ConnectionHandle::Free() noexcept {
    if (handle_ == SQL_NULL_HDBC)
        return;
    if (connected_)
        SQLDisconnect(handle_);
    SQLFreeHandle(SQL_HANDLE_DBC, handle_);
    handle_ = SQL_NULL_HDBC;
    connected_ = false;
}

// ---- StatementHandle ----

StatementHandle::StatementHandle(const ConnectionHandle& connection)
    : connection_(connection.get()), api_(connection.api()) {
    connection.Check(SQLAllocHandle(SQL_HANDLE_STMT, connection.get(), &handle_));
}

StatementHandle::~StatementHandle() {
    Free();
}

StatementHandle::StatementHandle(StatementHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      connection_(other.connection_),
      api_(other.api_),
      queryTimeout_(other.queryTimeout_) {}

StatementHandle& StatementHandle::operator=(StatementHandle&& other) noexcept {
    if (this != &other) {
        Free();
        handle_ = std::exchange(other.handle_, nullptr);
        connection_ = other.connection_;
        api_ = other.api_;
        queryTimeout_ = other.queryTimeout_;
    }
    return *this;
}

SQLRETURN StatementHandle::Check(SQLRETURN rc) const {
    return detail::Check(rc, {SQL_HANDLE_STMT, handle_, api_, connection_});
}

void StatementHandle::SetQueryTimeout(int seconds) {
    if (seconds == queryTimeout_)
        return;
    Check(SQLSetStmtAttr(handle_, SQL_ATTR_QUERY_TIMEOUT,
                         reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0));
    queryTimeout_ = seconds;
}

SQLSMALLINT StatementHandle::ResultColumnCount() const {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(handle_, &count));
    return count;
}

void StatementHandle::CloseCursor() {
    Check(SQLFreeStmt(handle_, SQL_CLOSE));
}

void StatementHandle::Free() noexcept {
    if (handle_ != SQL_NULL_HSTMT)
        SQLFreeHandle(SQL_HANDLE_STMT, handle_);
    handle_ = SQL_NULL_HSTMT;
}

}  // namespace adodb::detail
