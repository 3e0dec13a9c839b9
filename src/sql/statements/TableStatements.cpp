#include "sql/statements/TableStatements.h"

#include "sql/dialect/Dialect.h"
#include "sql/model/SqlName.h"

namespace korvanta {

std::string DropTableStatement(std::string_view table) {
    return "DROP TABLE " + QuotedName(table);
}

// Each side in its own database's form: the ODBC side speaks SQL Anywhere's.
std::string RenameTableStatement(Side side, std::string_view oldName, std::string_view newName) {
    return DialectOf(side, "SQL Anywhere")->RenameTableStatement(oldName, newName);
}

}  // namespace korvanta
