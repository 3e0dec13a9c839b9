#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sql/dialect/Dialect.h"
#include "sql/model/Schema.h"
#include "sql/statements/TablePlan.h"

namespace korvanta::detail {

// The common part of an exact copy: the order of its steps, the names, the counts of the
// rows that break a key, and what is named as not carried. What each database takes and
// how it writes it is the dialect's.
class ExactPlanner {
  public:
    ExactPlanner(const TableSchema& source, std::string_view target, const Dialect& dialect,
                 const std::function<bool(std::string_view)>& onTarget);

    TablePlan Plan();

  private:
    // Columns (ExactPlanner.cpp).
    std::string Column(const ColumnSchema& column, std::string& withoutCollation);
    std::string Collated(const ColumnSchema& column);
    std::string Identity(const ColumnSchema& column);
    void Always(const ColumnSchema& column);
    std::string Default(const ColumnSchema& column);
    void NotNull();
    void PrimaryKey();
    void Checks(std::vector<std::string>& definitions);
    std::string ForeignKeyClause(const ForeignKeySchema& key);
    SchemaStep ForeignKeyStep(const ForeignKeySchema& key);
    void TableConstraints(std::vector<std::string>& definitions);

    // Indexes (ExactIndexes.cpp).
    void Index(const IndexSchema& index);
    std::string IndexWhat(const IndexSchema& index) const;
    bool KeyTexts(const IndexSchema& index, const std::string& what, std::vector<std::string>& keys,
                  std::string& why);
    void UniqueConstraint(const IndexSchema& index, const std::vector<std::string>& keys,
                          const std::string& what, const std::string& breaks);
    void CreateIndex(const IndexSchema& index, const std::vector<std::string>& keys,
                     const std::string& predicate, const std::string& what,
                     const std::string& breaks);
    bool TakenWithTable(const IndexSchema& index) const;

    // Shared.
    std::string ConstraintName(std::string_view name, bool automatic = false) const;
    std::string DuplicatesQuery(const std::vector<std::string>& keys, bool primary,
                                const std::string& predicate = {}) const;
    // An expression of the source in the target's SQL, its names those of the table's
    // columns; empty, with `why`, where it cannot be written.
    std::string Written(const SourceExpression& expression, bool condition, std::string& why) const;

    const TableSchema& source_;
    const std::string target_;
    const std::string table_;  // quoted
    const Dialect& dialect_;
    const Capabilities& can_;
    const std::function<bool(std::string_view)>& onTarget_;
    std::string identityKey_;
    TablePlan plan_;
};

// Names in a list, as they are ("a, b") and quoted ("\"a\", \"b\"").
std::string Plain(const std::vector<std::string>& names);
std::string Quoted(const std::vector<std::string>& names);
// What the target column keeps of a value of the type and how its values compare.
ValueRule Rule(const ColumnType& type);
// A name the target may use: one the source made up itself means nothing elsewhere.
bool UsableName(std::string_view name, bool automatic = false);

}  // namespace korvanta::detail
