#include "sql/dialect/SourceQuery.h"

#include <charconv>

#include "adodb/Enums.h"
#include "adodb/TextCodec.h"
#include "sql/model/SqlName.h"

namespace korvanta {

std::string ServerTextQuery(const std::string& from, const std::vector<SourceField>& fields) {
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
    return "SELECT " + columns + " FROM " + from;
}

std::string SqliteExactQuery(const std::string& quotedTable, const std::vector<SourceField>& fields,
                             std::vector<bool>& marked) {
    marked.assign(fields.size(), false);
    std::string columns;
    bool any = false;
    for (std::size_t j = 0; j < fields.size(); ++j) {
        const std::string name = QuotedName(fields[j].name);
        if (!columns.empty())
            columns += ", ";
        // The driver reports every column declared with a floating or numeric type as
        // floating; others (text affinity) never hold a double.
        if (fields[j].type != adodb::adDouble && fields[j].type != adodb::adSingle) {
            columns += name;
            continue;
        }
        marked[j] = any = true;
        columns += "CASE typeof(" + name + ") WHEN 'real' THEN CASE WHEN CAST(CAST(" + name +
                   " AS TEXT) AS REAL) = " + name + " THEN " + name + " ELSE char(1) || quote(" +
                   name + ") END WHEN 'text' THEN CASE WHEN substr(" + name +
                   ", 1, 1) = char(1) THEN char(1) || " + name + " ELSE " + name + " END ELSE " +
                   name + " END AS " + name;
    }
    if (!any) {
        marked.clear();
        return {};
    }
    return "SELECT " + columns + " FROM " + quotedTable;
}

std::string_view SqliteExactValue(std::string_view text, std::string& scratch) {
    if (text.empty() || text[0] != '\x01')
        return text;
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '\x01')
        return text;  // a text value that starts with the mark
    // quote()'s text of a double: digits with an exponent, "Inf" or "-Inf".
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return text;
    scratch.clear();
    adodb::detail::AppendDouble(scratch, value);
    return scratch;
}

}  // namespace korvanta
