#include "engine/send/TableVerify.h"

#include "engine/rows/TableRows.h"

namespace korvanta {

std::string VerifyTable(adodb::Connection& target, std::shared_ptr<const Dialect> dialect,
                        const std::string& table, const std::vector<ValueRule>& rules,
                        const TableChecksum& landed) {
    TableRows rows;
    rows.Open(target, std::move(dialect), table);
    adodb::Recordset& records = rows.Records();
    const adodb::FieldList& list = records.Fields();
    TableChecksum found(static_cast<std::size_t>(list.Count()), rules);
    std::string scratch;
    while (!records.IsEOF()) {
        for (int j = 0; j < list.Count(); ++j) {
            const adodb::Variant value = list[j].Value();
            const auto column = static_cast<std::size_t>(j);
            found.AddValue(column, value.IsNull() ? std::nullopt
                                                  : std::optional<std::string_view>(
                                                        rows.Value(column, value.Text(), scratch)));
        }
        found.EndRow();
        records.MoveNext();
    }
    records.Close();
    std::vector<std::string> names;
    for (const SourceField& field : rows.Fields())
        names.push_back(field.name);
    return landed.Difference(found, names);
}

}  // namespace korvanta
