#include "DriverReadFloor.h"

#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

constexpr SQLULEN kRowsPerFetch = 512;
constexpr SQLLEN kWidth = 64;  // wide enough for every column of the benchmark's tables

void Check(SQLRETURN rc, const char* what) {
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_NO_DATA)
        throw std::runtime_error(std::string("bound-array read: ") + what + " failed");
}

struct Handle {
    SQLSMALLINT type;
    SQLHANDLE handle = SQL_NULL_HANDLE;
    Handle(SQLSMALLINT t, SQLHANDLE parent) : type(t) {
        Check(SQLAllocHandle(t, parent, &handle), "SQLAllocHandle");
    }
    ~Handle() { SQLFreeHandle(type, handle); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

}  // namespace

DriverRead BoundArrayRead(const std::string& connectionString, const std::string& query) {
    Handle environment(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    Check(SQLSetEnvAttr(environment.handle, SQL_ATTR_ODBC_VERSION,
                        reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          "SQLSetEnvAttr");
    Handle connection(SQL_HANDLE_DBC, environment.handle);
    const SQLRETURN connected =
        SQLDriverConnect(connection.handle, nullptr,
                         reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectionString.c_str())),
                         SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(connected)) {
        SQLCHAR state[6] = {};
        SQLCHAR message[512] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLGetDiagRec(SQL_HANDLE_DBC, connection.handle, 1, state, &native, message, sizeof message,
                      &length);
        throw std::runtime_error("bound-array read: " + connectionString + ": " +
                                 reinterpret_cast<const char*>(message));
    }
    DriverRead read;
    {
        Handle statement(SQL_HANDLE_STMT, connection.handle);
        const auto start = std::chrono::steady_clock::now();
        Check(SQLExecDirect(statement.handle,
                            reinterpret_cast<SQLCHAR*>(const_cast<char*>(query.c_str())), SQL_NTS),
              "SQLExecDirect");
        SQLSMALLINT columns = 0;
        Check(SQLNumResultCols(statement.handle, &columns), "SQLNumResultCols");
        SQLULEN fetched = 0;
        Check(SQLSetStmtAttr(statement.handle, SQL_ATTR_ROW_ARRAY_SIZE,
                             reinterpret_cast<SQLPOINTER>(kRowsPerFetch), 0),
              "SQL_ATTR_ROW_ARRAY_SIZE");
        Check(SQLSetStmtAttr(statement.handle, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0),
              "SQL_ATTR_ROWS_FETCHED_PTR");
        std::vector<std::unique_ptr<char[]>> data;
        std::vector<std::unique_ptr<SQLLEN[]>> indicators;
        for (SQLSMALLINT c = 1; c <= columns; ++c) {
            data.push_back(std::make_unique<char[]>(kRowsPerFetch * kWidth));
            indicators.push_back(std::make_unique<SQLLEN[]>(kRowsPerFetch));
            Check(SQLBindCol(statement.handle, static_cast<SQLUSMALLINT>(c), SQL_C_CHAR,
                             data.back().get(), kWidth, indicators.back().get()),
                  "SQLBindCol");
        }
        for (;;) {
            const SQLRETURN rc = SQLFetch(statement.handle);
            if (rc == SQL_NO_DATA)
                break;
            Check(rc, "SQLFetch");
            read.rows += static_cast<long>(fetched);
        }
        read.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    SQLDisconnect(connection.handle);
    return read;
}
