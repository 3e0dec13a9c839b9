#include "sql/statements/MergeStatements.h"

#include <algorithm>
#include <cctype>

#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

constexpr std::string_view kStagingName = "korvanta_merge";
constexpr std::string_view kKeysName = "korvanta_keys";

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

bool IsStagingName(std::string_view table) {
    return SameLetters(table, kStagingName) || SameLetters(table, kKeysName);
}

MergePlan PlanMerge(const Dialect& dialect, std::string_view table,
                    const std::vector<std::string>& columns, const std::vector<std::string>& key) {
    MergePlan plan;
    plan.dropStaging = dialect.DropStaging(kStagingName);
    plan.createStaging = dialect.CreateStaging(kStagingName, table, columns);
    plan.staging = dialect.StagingTable(kStagingName);
    std::string on;
    for (const std::string& k : key)
        on += (on.empty() ? "kv_t." : " AND kv_t.") + QuotedName(k) + " = kv_s." + QuotedName(k);
    // Each staging row looks its key up in the table (a subquery of the select list is run
    // row by row, through the key's index): a join would let the planner, who knows nothing
    // of the staging table, read the whole table for every run.
    const std::string row = "SELECT 1 FROM " + std::string(table) + " kv_t WHERE " + on;
    plan.count = "SELECT count(CASE WHEN NOT EXISTS (" + row +
                 ") THEN 1 END), count(CASE WHEN "
                 "EXISTS (" +
                 row + " AND " + dialect.Unchanged(columns, key, "kv_t", "kv_s") +
                 ") THEN 1 END) FROM " + plan.staging + " kv_s";
    plan.upsert = dialect.UpsertStatement(plan.staging, table, columns, key);
    plan.clear = dialect.ClearStaging(kStagingName);
    return plan;
}

MissingKeys PlanMissingKeys(const Dialect& dialect, std::string_view table,
                            const std::vector<std::string>& key) {
    MissingKeys plan;
    plan.dropStaging = dialect.DropStaging(kKeysName);
    plan.createStaging = dialect.CreateStaging(kKeysName, table, key);
    plan.staging = std::string(kKeysName);
    std::string match;
    for (const std::string& k : key)
        match += (match.empty() ? " WHERE kv_s." : " AND kv_s.") + QuotedName(k) + " = " +
                 std::string(table) + "." + QuotedName(k);
    const std::string missing = " WHERE NOT EXISTS (SELECT 1 FROM " +
                                dialect.StagingTable(kKeysName) + " kv_s" + match + ")";
    plan.index = dialect.IndexStaging(kKeysName, key);
    plan.count = "SELECT count(*) FROM " + std::string(table) + missing;
    plan.remove = "DELETE FROM " + std::string(table) + missing;
    return plan;
}

MergeRow::MergeRow(std::shared_ptr<const Dialect> dialect, std::string_view table,
                   std::vector<std::string> columns, const std::vector<std::string>& key,
                   RowStatement statement)
    : dialect_(std::move(dialect)),
      table_(table),
      columns_(std::move(columns)),
      statement_(std::move(statement)) {
    for (const std::string& c : columns_)
        inKey_.push_back(std::find(key.begin(), key.end(), c) != key.end());
}

std::string MergeRow::Literal(std::size_t column, const adodb::Variant& value) const {
    std::string text;
    statement_.AppendLiteral(text, column, value);
    return text;
}

std::string MergeRow::Where(const std::vector<adodb::Variant>& values) const {
    std::string where;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (inKey_[i])
            where += (where.empty() ? " WHERE " : " AND ") + QuotedName(columns_[i]) + " = " +
                     Literal(i, values[i]);
    }
    return where;
}

std::string MergeRow::Probe(const std::vector<adodb::Variant>& values) const {
    std::string equal;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (!inKey_[i])
            equal += (equal.empty() ? "" : " AND ") +
                     dialect_->NullSafeEqual(QuotedName(columns_[i]), Literal(i, values[i]));
    }
    if (equal.empty())
        equal = "1 = 1";
    return "SELECT CASE WHEN " + equal + " THEN 1 ELSE 0 END FROM " + table_ + Where(values);
}

std::string MergeRow::Update(const std::vector<adodb::Variant>& values) const {
    std::string set;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (!inKey_[i])
            set +=
                (set.empty() ? "" : ", ") + QuotedName(columns_[i]) + " = " + Literal(i, values[i]);
    }
    if (set.empty())
        return {};
    return "UPDATE " + table_ + " SET " + set + Where(values);
}

}  // namespace korvanta
