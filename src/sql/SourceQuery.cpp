#include "sql/SourceQuery.h"

#include "adodb/Enums.h"
#include "sql/SqlName.h"

namespace korvanta {

std::string ServerTextQuery(const std::string& quotedTable,
                            const std::vector<SourceField>& fields) {
    std::string columns;
    bool rewritten = false;
    for (const SourceField& field : fields) {
        const std::string name = QuotedName(field.name);
        if (!columns.empty())
            columns += ", ";
        columns += name;
        const char* cast = nullptr;
        switch (field.type) {
            case adodb::adDBDate:
            case adodb::adDBTime:
            case adodb::adDBTimeStamp:
            case adodb::adGUID:
                cast = "::text";
                break;
            default:
                // The server's text of money carries a currency sign and grouping.
                if (field.nativeTypeName == "money")
                    cast = "::numeric";
                break;
        }
        if (cast != nullptr) {
            columns += cast;
            columns += " AS ";
            columns += name;
            rewritten = true;
        }
    }
    if (!rewritten)
        return {};
    return "SELECT " + columns + " FROM " + quotedTable;
}

}  // namespace korvanta
