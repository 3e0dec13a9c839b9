#pragma once

#include <clocale>
#include <optional>
#include <string>
#include <vector>

#include "adodb/Connection.h"
#include "support/TestDatabases.h"

namespace adodbtest {

// A value as the tests compare it: std::nullopt for Null.
using Value = std::optional<std::string>;
using Row = std::vector<Value>;

inline adodb::Connection OpenPostgres(int cursorLocation = adodb::adUseClient) {
    adodb::Connection connection;
    connection.CursorLocation = cursorLocation;
    connection.Open(testdb::pgConnectionString());
    return connection;
}

inline adodb::Connection OpenSqlite(int cursorLocation = adodb::adUseClient) {
    adodb::Connection connection;
    connection.CursorLocation = cursorLocation;
    connection.Open("DSN=" + testdb::dsn());
    return connection;
}

// Reads the remaining rows of an open record set.
inline std::vector<Row> ReadAll(adodb::Recordset& records) {
    std::vector<Row> rows;
    const adodb::FieldList& fields = records.Fields();
    while (!records.IsEOF()) {
        Row row;
        for (int i = 0; i < fields.Count(); ++i) {
            const adodb::Variant value = fields[i].Value();
            row.push_back(value.IsNull() ? Value() : Value(value.ToString()));
        }
        rows.push_back(std::move(row));
        records.MoveNext();
    }
    return rows;
}

// Switches the whole process to a locale for the life of the object, as a Qt program's
// setlocale(LC_ALL, "") does with the user's settings.
class ProcessLocale {
  public:
    explicit ProcessLocale(const char* name) {
        const char* previous = std::setlocale(LC_ALL, nullptr);
        previous_ = previous != nullptr ? previous : "C";
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ProcessLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    ProcessLocale(const ProcessLocale&) = delete;
    ProcessLocale& operator=(const ProcessLocale&) = delete;
    bool active() const { return active_; }

  private:
    std::string previous_;
    bool active_;
};

}  // namespace adodbtest
