#pragma once

#include <sqltypes.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Handles.h"

namespace adodb {

// An open ODBC connection: its handles, the flavour of text functions it uses, and one
// statement handle kept for reuse. Shared between a Connection and its server-side record
// sets, so whichever goes last disconnects.
class ConnectionState {
  public:
    // Connects with SQLDriverConnect (no prompt); loginTimeout 0 waits for ever.
    ConnectionState(std::string_view odbcConnectionString, int loginTimeout);

    detail::TextApi api() const noexcept { return connection_.api(); }
    const detail::ConnectionHandle& connection() const noexcept { return connection_; }

    // Runs one statement on the reused statement handle; the handle is left with the
    // statement's result (if any) for the caller to read or give back.
    detail::StatementHandle& ExecuteDirect(std::string_view sql, int queryTimeout);
    // Takes the reused statement handle (holding a result) for a server-side cursor; the
    // next statement gets a new one.
    detail::StatementHandle TakeStatement();
    // A statement handle of its own, apart from the reused one.
    detail::StatementHandle NewStatement(int queryTimeout);
    // SQLTables with no restriction on a statement of its own.
    detail::StatementHandle Tables(int queryTimeout);
    // SQLColumns, SQLStatistics, SQLForeignKeys or SQLPrimaryKeys (by their adSchema code)
    // for one table, on a statement of its own.
    detail::StatementHandle TableCatalog(int schema, std::string_view table, int queryTimeout);

    // A text item of SQLGetInfo (SQL_DBMS_NAME, ...).
    std::string InfoText(SQLUSMALLINT item);
    // A 16-bit item of SQLGetInfo (SQL_TXN_CAPABLE, ...).
    SQLUSMALLINT InfoNumber(SQLUSMALLINT item);
    // Switches autocommit (SQL_ATTR_AUTOCOMMIT).
    void SetAutocommit(bool on);
    // SQLEndTran on the connection: commit or roll back.
    void EndTransaction(bool commit);

    // Frees the statements and disconnects, reporting failure.
    void Disconnect();

  private:
    void Connect(std::string_view connectionString, detail::TextApi api);
    bool DriverHasWideTypes();
    detail::StatementHandle& Statement(int queryTimeout);

    detail::EnvironmentHandle environment_;
    detail::ConnectionHandle connection_;
    std::optional<detail::StatementHandle> statement_;  // declared last: freed before disconnecting
};

}  // namespace adodb
