#include <QString>

#include <algorithm>

#include "adodb/Connection.h"
#include "engine/connections/Sybase.h"
#include "engine/tables/NameOrder.h"
#include "engine/tables/TableListing.h"
#include "sql/dialect/Dialect.h"

namespace korvanta {

std::vector<std::string> PostgreSQLTableNames(const ConnectionValues& values);

namespace {
// System tables and tables named like them stay out of the list.
bool LooksLikeSystemTable(const QString& name) {
    return name.toUpper().contains(QStringLiteral("SYS"));
}
}  // namespace

std::vector<std::string> SybaseTableNames(const ConnectionValues& values) {
    adodb::Connection connection;
    OpenSybase(connection, values);
    // And so do the tables the database keeps for itself (the stand-in's sqlite_sequence).
    const std::shared_ptr<const Dialect> dialect = DialectOfDataSource(connection);
    adodb::Recordset tables = connection.OpenSchema(adodb::adSchemaTables);
    std::vector<std::string> names;
    while (!tables.IsEOF()) {
        const adodb::Variant type = tables.Fields()["TABLE_TYPE"].Value();
        if (!type.IsNull() && type.Text() == "TABLE") {
            const adodb::Variant name = tables.Fields()["TABLE_NAME"].Value();
            if (!name.IsNull() && !LooksLikeSystemTable(QString::fromUtf8(name.Text())) &&
                !dialect->IsOwnTable(name.Text()))
                names.emplace_back(name.Text());
        }
        tables.MoveNext();
    }
    tables.Close();
    connection.Close();
    return names;
}

std::vector<std::string> ListTableNames(Side side, const ConnectionValues& values) {
    return side == Side::PostgreSQL ? PostgreSQLTableNames(values) : SybaseTableNames(values);
}

std::vector<std::string> SortedTableNames(Side side, const ConnectionValues& values) {
    std::vector<std::string> names = ListTableNames(side, values);
    const NameOrder order;
    std::stable_sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        return order.Compare(QString::fromStdString(a), QString::fromStdString(b)) < 0;
    });
    return names;
}

}  // namespace korvanta
