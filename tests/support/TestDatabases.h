#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <QString>

#include "engine/connections/ConnectionValues.h"

// The databases that scripts/test started: a PostgreSQL cluster and a SQLite file
// behind an ODBC data source. Every accessor fails loudly (throws) when the test
// command's environment is missing, so a database test never passes by skipping.
namespace testdb {

struct PgLogin {
    std::string server, port, user, password, database;
};

PgLogin pg();
std::string dsn();         // the SQLite data source name
std::string sqliteFile();  // the file behind it

// The six connection values of the test databases, as the connection window holds them.
korvanta::ConnectionValues connectionValues();
// Writes them (or the given values) into the settings file at the path (creating it);
// returns the path.
QString storeConnectionValues(const QString& path);
QString storeConnectionValues(const QString& path, const korvanta::ConnectionValues& values);

// "Driver={PostgreSQL Unicode};Server=...;Port=...;Uid=...;Pwd=...;Database=..."
std::string pgConnectionString();

// A name as the tests' own SQL writes it: between double quotes, each one doubled.
std::string quoted(std::string_view name);

// A name that no other test uses: prefix, the process id and a counter.
std::string uniqueName(std::string_view prefix);

// Independent checks through the databases' own command-line clients (psql, sqlite3),
// never through the code under test. Rows come back one per element, fields joined by
// '|', Null as the text "<null>".
std::vector<std::string> psql(std::string_view sql);
std::vector<std::string> sqlite(std::string_view sql);
// The same in another database of the cluster, and in another SQLite file.
std::vector<std::string> psql(std::string_view sql, const std::string& database);
std::vector<std::string> sqlite(std::string_view sql, const std::string& file);

}  // namespace testdb
