#include "engine/tables/TableChanges.h"

#include "engine/connections/PostgreSQL.h"
#include "engine/connections/Sybase.h"
#include "engine/tables/TableNames.h"
#include "sql/statements/TableStatements.h"

namespace korvanta {

TableChanges::TableChanges(Side side) : side_(side) {}

void TableChanges::Open(const ConnectionValues& values) {
    if (side_ == Side::PostgreSQL)
        OpenPostgreSQL(connection_, values);
    else
        OpenSybase(connection_, values);
}

void TableChanges::Drop(std::string_view table) {
    connection_.Execute(DropTableStatement(table));
}

void TableChanges::Rename(std::string_view from, std::string_view to) {
    RequireNameKept(side_, to);
    connection_.Execute(RenameTableStatement(side_, from, to));
}

void TableChanges::Close() {
    connection_.Close();
}

}  // namespace korvanta
