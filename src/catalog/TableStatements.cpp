#include "catalog/TableStatements.h"

#include "catalog/SqlName.h"

namespace korvanta {

std::string DropTableStatement(const QString& table) {
    return "DROP TABLE " + QuotedName(table.toStdString());
}

std::string RenameTableStatement(Database database, const QString& oldName,
                                 const QString& newName) {
    const char* keyword = database == Database::PostgreSQL ? " RENAME TO " : " RENAME ";
    return "ALTER TABLE " + QuotedName(oldName.toStdString()) + keyword +
           QuotedName(newName.toStdString()) + ";";
}

}  // namespace korvanta
