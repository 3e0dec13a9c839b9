#include <QString>

#include "adodb/Connection.h"
#include "app/EventPump.h"
#include "catalog/TableList.h"
#include "catalog/TableListing.h"
#include "connect/Sybase.h"

namespace korvanta {

namespace {
// System tables and tables named like them stay out of the list.
bool LooksLikeSystemTable(const QString& name) {
    return name.toUpper().contains(QStringLiteral("SYS"));
}
}  // namespace

void ListSybaseTables(TableList& list, const ConnectionValues& values, EventPump& pump) {
    adodb::Connection connection;
    connection.Provider = "MSDASQL";
    OpenSybase(connection, values);
    adodb::Recordset tables = connection.OpenSchema(adodb::adSchemaTables);
    list.Clear();
    while (!tables.IsEOF()) {
        const adodb::Variant type = tables.Fields()["TABLE_TYPE"].Value();
        if (!type.IsNull() && type.Text() == "TABLE") {
            pump.LetThrough();
            const adodb::Variant name = tables.Fields()["TABLE_NAME"].Value();
            if (!name.IsNull()) {
                const QString table = QString::fromUtf8(name.Text());
                if (!LooksLikeSystemTable(table))
                    list.Add(table);
            }
        }
        tables.MoveNext();
    }
    // Clicks let through during the fill do not survive it.
    list.ResetSelection();
    tables.Close();
    connection.Close();
}

}  // namespace korvanta
