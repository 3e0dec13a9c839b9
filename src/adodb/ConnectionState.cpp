#include "adodb/ConnectionState.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <string>

#include "adodb/DriverSockets.h"
#include "adodb/OdbcText.h"
#include "adodb/TextCodec.h"

namespace adodb {

using detail::StatementHandle;
using detail::TextApi;
using detail::TextOfBytes;
using detail::WithTextApi;

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
    const detail::DriverSockets sockets;
    const SQLRETURN rc = WithTextApi(api, [&](auto text) {
        auto in = text.In(connectionString);
        return text.DriverConnect(connection_.get(), in.data());
    });
    // Diagnostics of a failed connect are read through the functions used to connect.
    detail::Check(rc, {SQL_HANDLE_DBC, connection_.get(), api, SQL_NULL_HDBC});
    connection_.SetConnected(api);
    sockets.KeepAliveNew();
}

bool ConnectionState::DriverHasWideTypes() {
    StatementHandle statement(connection_);
    const SQLRETURN rc = WithTextApi(connection_.api(), [&](auto text) {
        return text.GetTypeInfo(statement.get(), SQL_WVARCHAR);
    });
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
    statement.Check(WithTextApi(statement.api(), [&](auto text) {
        auto in = text.In(sql);
        return text.ExecDirect(statement.get(), in.data(), static_cast<SQLINTEGER>(in.size() - 1));
    }));
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
    statement.Check(
        WithTextApi(statement.api(), [&](auto text) { return text.AllTables(statement.get()); }));
    return statement;
}

StatementHandle ConnectionState::TableCatalog(int schema, std::string_view table,
                                              int queryTimeout) {
    StatementHandle statement = NewStatement(queryTimeout);
    statement.Check(WithTextApi(statement.api(), [&](auto text) {
        auto name = text.In(table);
        return text.TableCatalog(statement.get(), schema, name.data());
    }));
    return statement;
}

std::string ConnectionState::InfoText(SQLUSMALLINT item) {
    return WithTextApi(api(), [&](auto text) {
        using Text = decltype(text);
        typename Text::Char buffer[256] = {};
        SQLSMALLINT length = 0;
        connection_.Check(text.GetInfo(connection_.get(), item, buffer, sizeof buffer, &length));
        return TextOfBytes<Text>(buffer, length, std::size(buffer));
    });
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
