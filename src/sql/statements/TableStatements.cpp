#include "sql/statements/TableStatements.h"

#include "sql/model/SqlName.h"

namespace korvanta {

std::string DropTableStatement(std::string_view table) {
    return "DROP TABLE " + QuotedName(table);
}

std::string RenameTableStatement(Side side, std::string_view oldName, std::string_view newName) {
    const char* keyword = side == Side::PostgreSQL ? " RENAME TO " : " RENAME ";
    return "ALTER TABLE " + QuotedName(oldName) + keyword + QuotedName(newName) + ";";
}

}  // namespace korvanta
