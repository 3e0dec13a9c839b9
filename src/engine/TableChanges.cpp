#include "engine/TableChanges.h"

#include "adodb/Connection.h"
#include "engine/PostgreSQL.h"
#include "engine/Sybase.h"
#include "engine/TableNames.h"
#include "sql/TableStatements.h"

namespace korvanta {

namespace {

void Run(Side side, const ConnectionValues& values, const std::string& statement) {
    adodb::Connection connection;
    if (side == Side::PostgreSQL) {
        OpenPostgreSQL(connection, values);
    } else {
        connection.Provider = "MSDASQL";
        OpenSybase(connection, values);
    }
    connection.Execute(statement);
    connection.Close();
}

}  // namespace

void DropTable(Side side, const ConnectionValues& values, const std::string& table) {
    Run(side, values, DropTableStatement(table));
}

void RenameTable(Side side, const ConnectionValues& values, const std::string& from,
                 const std::string& to) {
    RequireNameKept(side, to);
    Run(side, values, RenameTableStatement(side, from, to));
}

}  // namespace korvanta
