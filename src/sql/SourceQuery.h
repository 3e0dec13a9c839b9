#pragma once

#include <string>
#include <vector>

namespace korvanta {

// A column of the source table, as SELECT * describes it.
struct SourceField {
    std::string name;
    int type;                    // ADO type code
    std::string nativeTypeName;  // the source's own name of the type
};

// A query over the same rows as SELECT * FROM the PostgreSQL table, with the columns whose
// values psqlODBC would rewrite read as the server writes them: dates, times, timestamps
// and GUIDs as text, money as its number. Empty when no column needs it.
std::string ServerTextQuery(const std::string& quotedTable, const std::vector<SourceField>& fields);

}  // namespace korvanta
