#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "adodb/Enums.h"
#include "adodb/Recordset.h"

namespace adodb {

class ConnectionState;

// A database connection in the manner of ADO's Connection object, over the ODBC
// driver manager. The options are read when the connection opens (ConnectionTimeout,
// Provider) or when a statement runs (CommandTimeout, CursorLocation).
class Connection {
  public:
    Connection();
    ~Connection();  // closes an open connection, swallowing errors
                    // (an open server-side record set keeps it until the record set goes)
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    std::string Provider = "MSDASQL";
    int CursorLocation = adUseServer;
    int CommandTimeout = 30;     // seconds; 0 waits for ever
    int ConnectionTimeout = 15;  // seconds; 0 waits for ever
    // Floating-point columns are fetched as the driver's binary numbers (SQL_C_DOUBLE,
    // SQL_C_FLOAT) and written as the shortest text that reads back as the same number,
    // instead of the driver's own text, which may round them (to 15 digits, say). For a
    // driver that holds the number itself; one that converts its own text to the binary
    // form gains nothing by it. Read when a statement runs.
    bool FloatsAsNumbers = false;

    // Opens the connection. A string whose first key is "Data Source" (the OLE DB way of
    // naming an ODBC data source under MSDASQL) opens that data source; any other string,
    // such as "Driver={PostgreSQL Unicode};Server=...", goes to the driver unchanged.
    // Raises Error with the driver's description when the connection cannot be opened.
    void Open(std::string_view connectionString);
    bool IsOpen() const noexcept;

    // Runs one statement. A statement that returns rows gives an open record set
    // (fetched according to CursorLocation); any other gives a closed one.
    // Raises kObjectClosed on a closed connection, or the driver's description.
    Recordset Execute(std::string_view commandText);

    // adSchemaTables: one row per table and view (SQLTables), with the columns
    // TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE and DESCRIPTION.
    Recordset OpenSchema(int schema);
    // adSchemaColumns, adSchemaIndexes, adSchemaForeignKeys or adSchemaPrimaryKeys of one
    // table (SQLColumns, SQLStatistics, SQLForeignKeys, SQLPrimaryKeys), the columns under
    // ODBC's names (COLUMN_NAME, DATA_TYPE, ...).
    Recordset OpenSchema(int schema, std::string_view table);

    // The name of the database product behind the connection, as the driver tells it
    // (SQLGetInfo SQL_DBMS_NAME: "PostgreSQL", "SQLite", "SQL Anywhere", ...).
    std::string DbmsName();

    // Whether the driver offers transactions (SQLGetInfo SQL_TXN_CAPABLE).
    bool SupportsTransactions();

    // A transaction, the ADO way: BeginTrans turns autocommit off; CommitTrans and
    // RollbackTrans end the transaction and turn autocommit on again.
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    // kObjectClosed when not open. Server-side record sets still open keep working; the
    // connection ends when the last of them goes.
    void Close();

  private:
    friend class Recordset;
    friend class ArrayInsert;
    std::shared_ptr<ConnectionState> state_;  // shared with server-side record sets
};

}  // namespace adodb
