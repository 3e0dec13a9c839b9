#include "sql/statements/ExistingTable.h"

#include <algorithm>
#include <cctype>

#include "sql/model/SqlName.h"
#include "sql/model/TypeFit.h"
#include "sql/statements/ExactPlanner.h"

namespace korvanta {

namespace {

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The target's column of that name: its own spelling, else the only one equal to it
// without regard to case; nullptr when none (or more than one) is.
const ColumnSchema* Find(const TableSchema& table, const std::string& name) {
    const ColumnSchema* folded = nullptr;
    int matches = 0;
    for (const ColumnSchema& column : table.columns) {
        if (column.name == name)
            return &column;
        if (EqualIgnoringCase(column.name, name)) {
            folded = &column;
            ++matches;
        }
    }
    return matches == 1 ? folded : nullptr;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

bool UniqueOn(const TableSchema& table, const std::vector<std::string>& key) {
    const std::vector<std::string> wanted = Sorted(key);
    if (Sorted(table.primaryKey) == wanted)
        return true;
    for (const IndexSchema& index : table.indexes) {
        if (!index.unique || !index.predicate.empty())
            continue;
        std::vector<std::string> columns;
        for (const IndexKey& k : index.keys)
            columns.push_back(k.column.empty() ? std::string("\n") : k.column);
        if (Sorted(columns) == wanted)
            return true;
    }
    return false;
}

}  // namespace

ExistingFit FitExisting(const std::vector<std::string>& read, const TableSchema& source,
                        const TableSchema& target) {
    ExistingFit fit;
    std::vector<const ColumnSchema*> matched;
    for (const std::string& name : read) {
        const ColumnSchema* column = Find(target, name);
        const ColumnSchema* from = Find(source, name);
        if (column == nullptr) {
            fit.problems.push_back("column " + QuotedName(name) + " is not on the target");
            continue;
        }
        matched.push_back(column);
        fit.columns.push_back(column->name);
        fit.rules.push_back(detail::Rule(column->type));
        fit.binary.push_back(column->type.kind == TypeKind::kBinary);
        if (column->generated) {
            fit.problems.push_back("column " + QuotedName(column->name) +
                                   " is computed on the target: it takes no value");
            continue;
        }
        if (from == nullptr)
            continue;  // a column the catalog did not describe: its values go as text
        if (const std::string why = WhyNotHeld(column->type, from->type); !why.empty())
            fit.problems.push_back("column " + QuotedName(column->name) + ": the target's " +
                                   TypeText(column->type) + " " + why);
    }
    for (const ColumnSchema& column : target.columns) {
        if (std::find(matched.begin(), matched.end(), &column) == matched.end())
            fit.problems.push_back("the target's column " + QuotedName(column.name) +
                                   " is not in the source");
    }
    return fit;
}

std::vector<std::string> MergeKey(const std::vector<std::string>& asked, const TableSchema& source,
                                  const TableSchema& target, const ExistingFit& fit,
                                  const std::vector<std::string>& read, std::string& problem) {
    const std::vector<std::string>& named = asked.empty() ? source.primaryKey : asked;
    if (named.empty()) {
        problem =
            "the source table has no primary key to match rows by; name the key's columns "
            "(--key)";
        return {};
    }
    std::vector<std::string> key;
    for (const std::string& name : named) {
        std::size_t at = 0;
        while (at < read.size() && read[at] != name)
            ++at;
        if (at == read.size()) {
            for (at = 0; at < read.size() && !EqualIgnoringCase(read[at], name); ++at) {
            }
        }
        if (at == read.size() || at >= fit.columns.size()) {
            problem = "the key's column " + QuotedName(name) + " is not in the source";
            return {};
        }
        key.push_back(fit.columns[at]);
    }
    if (!UniqueOn(target, key)) {
        problem = "the target table has no primary key or unique index on (" + QuotedNames(key) +
                  "): a merge needs one to match each row to one row";
        return {};
    }
    for (const std::string& name : key) {
        const ColumnSchema* column = Find(target, name);
        const bool inPrimaryKey = std::find(target.primaryKey.begin(), target.primaryKey.end(),
                                            name) != target.primaryKey.end();
        if (column != nullptr && !column->notNull && !inPrimaryKey) {
            problem = "the key's column " + QuotedName(name) +
                      " takes NULL on the target, and a row without a key matches no row";
            return {};
        }
    }
    return key;
}

std::vector<OrderColumn> OrderKey(const TableSchema& table, bool textInByteOrder) {
    const auto ordered = [&](const std::vector<std::string>& names) {
        std::vector<OrderColumn> key;
        for (const std::string& name : names) {
            const ColumnSchema* column = Find(table, name);
            // A key that takes NULL (SQLite lets a primary key's columns hold it) orders its
            // rows no database alike: no key to go on after.
            if (column == nullptr || (!column->notNull && !column->identity))
                return std::vector<OrderColumn>();
            const TypeKind kind = column->type.kind;
            const bool text = kind == TypeKind::kVarChar || kind == TypeKind::kText;
            if (text ? !textInByteOrder || column->collation.kind != Collation::Kind::kDefault
                     : kind != TypeKind::kSmallInt && kind != TypeKind::kInteger &&
                           kind != TypeKind::kBigInt)
                return std::vector<OrderColumn>();
            key.push_back({column->name, text});
        }
        return key;
    };
    if (!table.primaryKey.empty())
        return ordered(table.primaryKey);
    for (const IndexSchema& index : table.indexes) {
        if (!index.unique || !index.predicate.empty())
            continue;
        std::vector<std::string> columns;
        bool plain = true;
        for (const IndexKey& key : index.keys) {
            const ColumnSchema* column = key.column.empty() ? nullptr : Find(table, key.column);
            plain = plain && column != nullptr && column->notNull;
            if (column != nullptr)
                columns.push_back(column->name);
        }
        if (plain) {
            if (std::vector<OrderColumn> key = ordered(columns); !key.empty())
                return key;
        }
    }
    return {};
}

std::string AfterKey(const std::vector<std::string>& ordered,
                     const std::vector<std::string>& last) {
    std::string after, equal;
    for (std::size_t i = 0; i < ordered.size() && i < last.size(); ++i) {
        after += (after.empty() ? "" : " OR ") + equal + ordered[i] + " > " + last[i];
        equal += ordered[i] + " = " + last[i] + " AND ";
    }
    return after;
}

}  // namespace korvanta
