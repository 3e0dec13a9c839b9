#include "engine/TableVerify.h"

#include "adodb/Recordset.h"
#include "sql/SqlName.h"

namespace korvanta {

namespace {

void OpenReadBack(adodb::Recordset& rows, adodb::Connection& target, bool postgreSQL,
                  const std::string& table) {
    const std::string quoted = QuotedName(table);
    rows.Open("SELECT * FROM " + quoted, target, adodb::adOpenStatic, adodb::adLockOptimistic);
    if (!postgreSQL)
        return;
    std::vector<SourceField> targetFields;
    const adodb::FieldList& list = rows.Fields();
    for (int j = 0; j < list.Count(); ++j)
        targetFields.push_back({list[j].Name(), list[j].Type(), list[j].NativeTypeName()});
    const std::string textForm = ServerTextQuery(quoted, targetFields);
    if (!textForm.empty()) {
        rows.Close();
        rows.Open(textForm, target);
    }
}

}  // namespace

std::string VerifyTable(adodb::Connection& target, bool postgreSQL, const std::string& table,
                        const std::vector<SourceField>& fields, const TableChecksum& landed) {
    TableChecksum found(fields.size());
    adodb::Recordset rows;
    OpenReadBack(rows, target, postgreSQL, table);
    const adodb::FieldList& list = rows.Fields();
    while (!rows.IsEOF()) {
        for (int j = 0; j < list.Count(); ++j) {
            const adodb::Variant value = list[j].Value();
            found.AddValue(
                static_cast<std::size_t>(j),
                value.IsNull() ? std::nullopt : std::optional<std::string_view>(value.Text()));
        }
        found.EndRow();
        rows.MoveNext();
    }
    rows.Close();
    std::vector<std::string> names;
    for (const SourceField& field : fields)
        names.push_back(field.name);
    return landed.Difference(found, names);
}

}  // namespace korvanta
