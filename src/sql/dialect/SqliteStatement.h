#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sql/model/Schema.h"

namespace korvanta {

// What SQLite keeps only in the text of a table's CREATE TABLE (sqlite_master.sql): its
// pragmas give columns, keys, indexes and foreign keys, but not the names of constraints,
// CHECK constraints, collations, or when a foreign key is checked.
struct SqliteTableText {
    struct Named {
        std::string name;  // the CONSTRAINT name; empty when none was given
        std::vector<std::string> columns;
    };
    struct Reference {
        std::string name;
        std::vector<std::string> columns;
        std::string table;
        bool deferrable = false;
        bool initiallyDeferred = false;
    };
    std::string primaryKeyName;
    std::vector<Named> uniques;
    std::vector<Reference> references;
    std::vector<CheckSchema> checks;                              // expressions as text only
    std::vector<std::pair<std::string, std::string>> collations;  // column, collation
};

// The parts of a CREATE TABLE statement SQLite's pragmas leave out.
SqliteTableText ReadSqliteTable(std::string_view statement);

// The keys of a CREATE INDEX statement as written, each without its ASC, DESC or COLLATE,
// and its WHERE condition (empty when none).
std::vector<std::string> ReadSqliteIndexKeys(std::string_view statement, std::string& where);

}  // namespace korvanta
