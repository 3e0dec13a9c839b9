#pragma once

#include <QString>

#include <string>

namespace korvanta {

// The database behind one side of the table window.
enum class Database {
    SqlAnywhere,  // List1, reached through the ODBC data source
    PostgreSQL,   // List2
};

// DROP TABLE "{table}": no schema, no semicolon.
std::string DropTableStatement(const QString& table);

// SQL Anywhere: ALTER TABLE "{old}" RENAME "{new}";
// PostgreSQL:   ALTER TABLE "{old}" RENAME TO "{new}";
std::string RenameTableStatement(Database database, const QString& oldName, const QString& newName);

}  // namespace korvanta
