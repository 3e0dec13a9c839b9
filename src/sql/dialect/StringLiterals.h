#pragma once

#include <string>
#include <string_view>

namespace korvanta {

// How the target database reads a string literal, and so how a value is written
// between apostrophes.
enum class StringLiterals {
    // '...' is read as written but for '' (PostgreSQL's default, SQLite): only the
    // apostrophe is doubled.
    kStandard,
    // '...' reads a backslash as the start of an escape (SQL Anywhere): every backslash is
    // doubled as well.
    kBackslashEscapes,
    // PostgreSQL with standard_conforming_strings off reads backslashes in '...' too; a
    // value holding one is written as an escape string E'...' with every backslash doubled,
    // which that server reads back unchanged and without warnings.
    kEscapeStringSyntax,
};

// The literals of an ODBC data source, from the DBMS name its driver reports
// (SQLGetInfo SQL_DBMS_NAME): SQL Anywhere reads backslash escapes, others do not.
StringLiterals LiteralsOfDataSource(std::string_view dbmsName);

// The literals of a PostgreSQL connection, from its standard_conforming_strings setting.
StringLiterals LiteralsOfPostgreSQL(std::string_view standardConformingStrings);

// Appends the text between apostrophes, doubling every apostrophe inside it, and every
// backslash too where the target reads backslash escapes.
void AppendLiteral(std::string& buffer, std::string_view text, StringLiterals literals);
std::string Literal(std::string_view text, StringLiterals literals);

}  // namespace korvanta
