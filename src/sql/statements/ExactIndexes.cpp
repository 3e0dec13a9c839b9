// An exact copy's indexes and unique constraints: their keys (columns or expressions, with
// their order and where their NULLs go), conditions, and names.
#include "sql/model/SqlName.h"
#include "sql/statements/ExactPlanner.h"

namespace korvanta::detail {

namespace {

// The name a database gives an index of these keys when it names one itself.
std::string DerivedName(const IndexSchema& index, std::string_view table) {
    std::string name(table);
    for (const IndexKey& key : index.keys)
        name += "_" + (key.column.empty() ? std::string("expr") : key.column);
    return name + (index.unique ? "_key" : "_idx");
}

std::string IndexName(const IndexSchema& index, std::string_view table) {
    return UsableName(index.name, index.automatic) ? index.name : DerivedName(index, table);
}

bool AnyExpression(const IndexSchema& index) {
    for (const IndexKey& key : index.keys) {
        if (key.column.empty())
            return true;
    }
    return false;
}

}  // namespace

std::string ExactPlanner::IndexWhat(const IndexSchema& index) const {
    std::vector<std::string> keys;
    for (const IndexKey& key : index.keys)
        keys.push_back(key.column.empty() ? key.expression.text : key.column);
    // A name the source made up itself (sqlite_autoindex_...) means nothing to the user.
    const std::string name =
        UsableName(index.name, index.automatic) ? index.name + " " : std::string();
    return (index.unique ? std::string("unique ") : std::string()) +
           (index.constraint ? "constraint " : "index ") + name + "(" + Plain(keys) + ")";
}

void ExactPlanner::Index(const IndexSchema& index) {
    const std::string what = IndexWhat(index);
    if (!index.method.empty()) {
        plan_.notCarried.push_back(what + ": a " + index.method + " index; " +
                                   std::string(dialect_.Name()) +
                                   " makes btree indexes only, and one is no stand-in for it");
        return;
    }
    std::string why;
    std::vector<std::string> keys;
    if (!KeyTexts(index, what, keys, why)) {
        plan_.notCarried.push_back(what + ": " + why);
        return;
    }
    if (TakenWithTable(index))
        return;
    std::string predicate;
    if (!index.predicate.empty()) {
        const std::string where = what + " where " + index.predicate.text + ": ";
        if (!can_.partialIndexes) {
            plan_.notCarried.push_back(where + std::string(dialect_.Name()) +
                                       " has no partial indexes");
            return;
        }
        predicate = Written(index.predicate, true, why);
        if (predicate.empty()) {
            plan_.notCarried.push_back(where + why);
            return;
        }
    }
    const std::string breaks = index.unique ? DuplicatesQuery(keys, false, predicate) : "";
    bool anyNullable = false;
    for (const IndexKey& key : index.keys) {
        for (const ColumnSchema& column : source_.columns)
            anyNullable = anyNullable || (column.name == key.column && !column.notNull);
    }
    // A database whose unique constraints take no NULL keeps a nullable column's
    // uniqueness as a unique index, which takes many.
    const bool asIndex = index.nullsNotDistinct || AnyExpression(index) || !predicate.empty() ||
                         (can_.uniqueConstraintsRefuseNull && anyNullable);
    if (index.constraint && !asIndex)
        return UniqueConstraint(index, keys, what, breaks);
    CreateIndex(index, keys, predicate, what, breaks);
}

bool ExactPlanner::KeyTexts(const IndexSchema& index, const std::string& what,
                            std::vector<std::string>& keys, std::string& why) {
    for (const IndexKey& key : index.keys) {
        std::string text;
        if (!key.column.empty()) {
            text = QuotedName(key.column);
        } else if (!can_.expressionIndexes) {
            why = "a key is an expression: " + std::string(dialect_.Name()) +
                  " has no indexes on expressions";
            return false;
        } else {
            text = Written(key.expression, false, why);
            if (text.empty())
                return false;
            text = "(" + text + ")";
        }
        std::string lost;
        text += (key.descending ? " DESC" : "") + dialect_.NullsClause(key, lost);
        if (!lost.empty())
            plan_.notCarried.push_back(what + ": " + lost);
        keys.push_back(std::move(text));
    }
    return true;
}

void ExactPlanner::UniqueConstraint(const IndexSchema& index, const std::vector<std::string>& keys,
                                    const std::string& what, const std::string& breaks) {
    const std::string constraint = ConstraintName(index.name, index.automatic);
    const std::string unique = "UNIQUE (" + Plain(keys) + ")";
    plan_.afterRows.push_back(
        {"ALTER TABLE " + table_ + " ADD " + constraint + unique,
         what,
         breaks,
         {},
         constraint.empty() ? std::string() : "ALTER TABLE " + table_ + " ADD " + unique});
}

void ExactPlanner::CreateIndex(const IndexSchema& index, const std::vector<std::string>& keys,
                               const std::string& predicate, const std::string& what,
                               const std::string& breaks) {
    bool afterColumns = true;
    std::string nulls;
    if (index.unique && index.nullsNotDistinct) {
        nulls = dialect_.NullsNotDistinct(afterColumns);
        if (nulls.empty())
            plan_.notCarried.push_back(what +
                                       ": NULLS NOT DISTINCT: " + std::string(dialect_.Name()) +
                                       "'s unique indexes take many NULLs");
    }
    const std::string head = std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX ";
    std::string body = " ON " + table_ + " (" + Plain(keys) + ")";
    if (afterColumns)
        body += nulls;
    if (!predicate.empty())
        body += " WHERE " + predicate;
    if (!afterColumns)
        body += nulls;
    // Without the source's name a database that names indexes itself makes up a free
    // one; the others need one.
    const std::string derived = DerivedName(index, target_);
    const std::string unnamed =
        can_.indexNamesOptional ? head + body : head + QuotedName(derived) + body;
    const std::string name = IndexName(index, target_);
    plan_.afterRows.push_back({head + QuotedName(name) + body,
                               what,
                               breaks,
                               {},
                               name == derived ? std::string() : unnamed});
}

bool ExactPlanner::TakenWithTable(const IndexSchema& index) const {
    return can_.constraintsOnlyWithTable && index.constraint && !AnyExpression(index) &&
           index.predicate.empty() && !index.nullsNotDistinct;
}

}  // namespace korvanta::detail
