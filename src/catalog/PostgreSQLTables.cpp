#include <QString>

#include "adodb/Connection.h"
#include "app/EventPump.h"
#include "catalog/TableList.h"
#include "catalog/TableListing.h"
#include "connect/PostgreSQL.h"

namespace korvanta {

void ListPostgreSQLTables(TableList& list, const ConnectionValues& values, EventPump& pump) {
    adodb::Connection connection;
    // Client-side: the whole result arrives at once and RecordCount is exact.
    connection.CursorLocation = adodb::adUseClient;
    OpenPostgreSQL(connection, values);
    adodb::Recordset tables = connection.Execute("select tablename from pg_tables;");
    list.Clear();
    const long long rows = tables.RecordCount();
    for (long long row = 1; row <= rows; ++row) {
        pump.LetThrough();
        list.Add(QString::fromUtf8(tables.Fields()[0].Value().Text()));
        tables.MoveNext();
    }
    // Clicks let through during the fill do not survive it.
    list.ResetSelection();
    tables.Close();
    connection.Close();
}

}  // namespace korvanta
