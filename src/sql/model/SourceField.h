#pragma once

#include <optional>
#include <string>

namespace korvanta {

// A column of a table as SELECT * describes it through the driver.
struct SourceField {
    std::string name;
    int type;                    // ADO type code
    std::string nativeTypeName;  // the source's own name of the type
    // The column's type as declared, where the database keeps a declaration apart from the
    // type its driver reports (SQLite, whose driver reports "varchar" for no declaration).
    std::optional<std::string> declared;
};

}  // namespace korvanta
