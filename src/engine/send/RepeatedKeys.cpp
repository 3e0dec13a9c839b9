#include "engine/send/RepeatedKeys.h"

#include <algorithm>

#include "adodb/Recordset.h"
#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

bool SameColumns(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

// Whether the source's catalog makes the key unique: its primary key, or a unique index
// (not partial) on those very columns.
bool UniqueBySchema(const TableSchema& table, const std::vector<std::string>& key) {
    if (SameColumns(table.primaryKey, key))
        return true;
    return std::any_of(table.indexes.begin(), table.indexes.end(), [&](const IndexSchema& i) {
        std::vector<std::string> columns;
        for (const IndexKey& k : i.keys)
            columns.push_back(k.column);
        return i.unique && i.predicate.empty() && SameColumns(columns, key);
    });
}

}  // namespace

std::string RepeatedKeys(adodb::Connection& source, const Dialect& dialect,
                         const TableSchema& table, const std::string& where,
                         const std::vector<std::string>& key) {
    if (UniqueBySchema(table, key))
        return {};
    std::string shown;
    for (const std::string& column : key)
        shown += (shown.empty() ? "" : " || ', ' || ") + dialect.AsText(QuotedName(column));
    adodb::Recordset repeated =
        source.Execute("SELECT " + shown + " FROM " + QuotedName(table.name) +
                       (where.empty() ? std::string() : " WHERE (" + where + ")") + " GROUP BY " +
                       QuotedNames(key) + " HAVING count(*) > 1 LIMIT 3");
    std::string keys;
    for (; !repeated.IsEOF(); repeated.MoveNext()) {
        const adodb::Variant value = repeated.Fields()[0].Value();
        keys += (keys.empty() ? "" : "; ") +
                (value.IsNull() ? std::string("NULL") : "(" + std::string(value.Text()) + ")");
    }
    repeated.Close();
    if (keys.empty())
        return {};
    return "its key (" + QuotedNames(key) + ") repeats among the source's rows (" + keys +
           (keys.find(';') != std::string::npos ? ", ..." : "") +
           "): a merge by it would keep one row of each, so no row is merged";
}

}  // namespace korvanta
