#include "engine/send/TableVerify.h"

#include "engine/rows/TableRows.h"

namespace korvanta {

std::string VerifyTable(adodb::Connection& target, std::shared_ptr<const Dialect> dialect,
                        const std::string& table, const std::vector<ValueRule>& rules,
                        const TableChecksum& landed, PostgresCopyConnection* wire) {
    TableRows rows;
    rows.Open(target, std::move(dialect), table, wire);
    const std::size_t columns = rows.Fields().size();
    TableChecksum found(columns, rules);
    while (rows.Next()) {
        for (std::size_t j = 0; j < columns; ++j)
            found.AddValue(j, rows.Value(j));
        found.EndRow();
    }
    rows.Close();
    std::vector<std::string> names;
    for (const SourceField& field : rows.Fields())
        names.push_back(field.name);
    return landed.Difference(found, names);
}

}  // namespace korvanta
