#include "adodb/ConnectionState.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <string>

#include "adodb/TextCodec.h"

namespace adodb {

using detail::StatementHandle;
using detail::TextApi;

// Which functions carry text, found by trying both drivers under LANG=C and a UTF-8
// locale:
// - psqlODBC (psqlodbcw.so, a Unicode driver) connected through SQLDriverConnectW reports
//   wide SQL types (text is SQL_WLONGVARCHAR) and converts SQLWCHAR text itself, without
//   the locale. Connected through the ANSI function it reports text as SQL_LONGVARCHAR,
//   and ANSI calls on a wide connection convert through the locale (garbled non-ASCII
//   text under LANG=C). So a wide connection uses the W functions and SQL_C_WCHAR only.
// - sqliteodbc (an ANSI driver) keeps UTF-8 bytes as they are through the ANSI functions;
//   for the W functions the driver manager converts through the locale's charset, which
//   garbles non-ASCII text (even the database path) under LANG=C. So an ANSI connection
//   uses the ANSI functions with UTF-8 bytes and SQL_C_CHAR.
// The driver is known only once connected: an ASCII connection string is safe through
// SQLDriverConnectW for either kind; a non-ASCII one connects through the ANSI function
// (which psqlODBC also reads as UTF-8) and reconnects wide when the driver turns out to
// be a Unicode one. A driver counts as Unicode when it offers the SQL_WVARCHAR type.
ConnectionState::ConnectionState(std::string_view odbcConnectionString, int loginTimeout)
    : connection_(environment_) {
    connection_.Check(SQLSetConnectAttr(
        connection_.get(), SQL_ATTR_LOGIN_TIMEOUT,
        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeout > 0 ? loginTimeout : 0)),
        SQL_IS_UINTEGER));
    if (detail::IsAscii(odbcConnectionString)) {
        Connect(odbcConnectionString, TextApi::kWide);
        if (!DriverHasWideTypes())
            connection_.SetConnected(TextApi::kAnsi);
    } else {
        Connect(odbcConnectionString, TextApi::kAnsi);
        if (DriverHasWideTypes()) {
            connection_.Disconnect();
            Connect(odbcConnectionString, TextApi::kWide);
        }
    }
}

void ConnectionState::Connect(std::string_view connectionString, TextApi api) {
    SQLRETURN rc;
    if (api == TextApi::kWide) {
        detail::Utf8ToUtf16(connectionString, wideText_);
        rc = SQLDriverConnectW(connection_.get(), nullptr, wideText_.data(), SQL_NTS, nullptr, 0,
                               nullptr, SQL_DRIVER_NOPROMPT);
    } else {
        ansiText_.assign(connectionString);
        rc = SQLDriverConnect(connection_.get(), nullptr,
                              reinterpret_cast<SQLCHAR*>(ansiText_.data()), SQL_NTS, nullptr, 0,
                              nullptr, SQL_DRIVER_NOPROMPT);
    }
    // Diagnostics of a failed connect are read through the functions used to connect.
    detail::Check(rc, {SQL_HANDLE_DBC, connection_.get(), api, SQL_NULL_HDBC});
    connection_.SetConnected(api);
}

bool ConnectionState::DriverHasWideTypes() {
    StatementHandle statement(connection_);
    const SQLRETURN rc = connection_.api() == TextApi::kWide
                             ? SQLGetTypeInfoW(statement.get(), SQL_WVARCHAR)
                             : SQLGetTypeInfo(statement.get(), SQL_WVARCHAR);
    // A driver that does not even know the type code (HY004) is no Unicode driver.
    if (rc == SQL_ERROR)
        return false;
    statement.Check(rc);
    return statement.Check(SQLFetch(statement.get())) != SQL_NO_DATA;
}

StatementHandle& ConnectionState::Statement(int queryTimeout) {
    if (!statement_)
        statement_.emplace(connection_);
    statement_->SetQueryTimeout(queryTimeout > 0 ? queryTimeout : 0);
    return *statement_;
}

StatementHandle& ConnectionState::ExecuteDirect(std::string_view sql, int queryTimeout) {
    StatementHandle& statement = Statement(queryTimeout);
    SQLRETURN rc;
    if (statement.api() == TextApi::kWide) {
        detail::Utf8ToUtf16(sql, wideText_);
        rc = SQLExecDirectW(statement.get(), wideText_.data(),
                            static_cast<SQLINTEGER>(wideText_.size() - 1));
    } else {
        ansiText_.assign(sql);
        rc = SQLExecDirect(statement.get(), reinterpret_cast<SQLCHAR*>(ansiText_.data()),
                           static_cast<SQLINTEGER>(ansiText_.size()));
    }
    statement.Check(rc);
    return statement;
}

StatementHandle ConnectionState::TakeStatement() {
    StatementHandle statement = std::move(*statement_);
    statement_.reset();
    return statement;
}

StatementHandle ConnectionState::NewStatement(int queryTimeout) {
    StatementHandle statement(connection_);
    statement.SetQueryTimeout(queryTimeout > 0 ? queryTimeout : 0);
    return statement;
}

StatementHandle ConnectionState::Tables(int queryTimeout) {
    StatementHandle statement = NewStatement(queryTimeout);
    // All four arguments Null: every catalog, schema, table and type. (psqlODBC reads an
    // empty schema, and even a Null schema with the name pattern "%", as the search path
    // only.)
    const SQLRETURN rc =
        statement.api() == TextApi::kWide
            ? SQLTablesW(statement.get(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0)
            : SQLTables(statement.get(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
    statement.Check(rc);
    return statement;
}

std::string ConnectionState::InfoText(SQLUSMALLINT item) {
    SQLSMALLINT length = 0;
    std::string text;
    if (api() == TextApi::kWide) {
        SQLWCHAR buffer[256] = {};
        connection_.Check(SQLGetInfoW(connection_.get(), item, buffer, sizeof buffer, &length));
        detail::AppendUtf8(
            text, buffer,
            std::min<std::size_t>(
                static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)) / sizeof(SQLWCHAR),
                std::size(buffer) - 1));
    } else {
        SQLCHAR buffer[512] = {};
        connection_.Check(SQLGetInfo(connection_.get(), item, buffer, sizeof buffer, &length));
        text = reinterpret_cast<const char*>(buffer);
    }
    return text;
}

SQLUSMALLINT ConnectionState::InfoNumber(SQLUSMALLINT item) {
    SQLUSMALLINT value = 0;
    connection_.Check(SQLGetInfo(connection_.get(), item, &value, sizeof value, nullptr));
    return value;
}

void ConnectionState::SetAutocommit(bool on) {
    connection_.Check(SQLSetConnectAttr(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                                        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(
                                            on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                                        SQL_IS_UINTEGER));
}

void ConnectionState::EndTransaction(bool commit) {
    connection_.Check(
        SQLEndTran(SQL_HANDLE_DBC, connection_.get(), commit ? SQL_COMMIT : SQL_ROLLBACK));
}

void ConnectionState::Disconnect() {
    statement_.reset();
    connection_.Disconnect();
}

}  // namespace adodb
