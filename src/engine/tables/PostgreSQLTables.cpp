#include <algorithm>

#include "adodb/Connection.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/tables/TableListing.h"

namespace korvanta {

namespace {
// The tables (pg_tables' kinds: ordinary and partitioned) that a bare name reaches on
// this connection's search path, so that DROP TABLE and SELECT by the listed name find
// that very table. A name is visible in one schema only, so each is listed once. The
// system catalogue is on every search path but holds no table of the user's. A partition
// is read through its partitioned table: listed too, its rows would go twice.
constexpr const char* kVisibleTables =
    "select c.relname from pg_catalog.pg_class c"
    " join pg_catalog.pg_namespace n on n.oid = c.relnamespace"
    " where c.relkind in ('r', 'p') and not c.relispartition"
    " and pg_catalog.pg_table_is_visible(c.oid)"
    " and n.nspname not in ('pg_catalog', 'information_schema')"
    " and n.nspname !~ '^pg_toast';";
}  // namespace

std::vector<std::string> PostgreSQLTableNames(const ConnectionValues& values) {
    adodb::Connection connection;
    // Client-side: the whole result arrives at once and RecordCount is exact.
    connection.CursorLocation = adodb::adUseClient;
    OpenPostgreSQL(connection, values);
    adodb::Recordset tables = connection.Execute(kVisibleTables);
    std::vector<std::string> names;
    const long long rows = tables.RecordCount();
    names.reserve(static_cast<std::size_t>(std::max(0LL, rows)));
    for (long long row = 1; row <= rows; ++row) {
        names.emplace_back(tables.Fields()[0].Value().Text());
        tables.MoveNext();
    }
    tables.Close();
    connection.Close();
    return names;
}

}  // namespace korvanta
