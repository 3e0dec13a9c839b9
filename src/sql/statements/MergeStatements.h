#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Variant.h"
#include "sql/dialect/Dialect.h"
#include "sql/statements/RowStatement.h"

namespace korvanta {

// The statements that merge runs of rows into a table that stands on the target, by a key:
// each run is loaded into a staging table, counted against the table, and written into it
// in one transaction.
struct MergePlan {
    std::string dropStaging;    // before the table's first run
    std::string createStaging;  // then, and (where it may be gone) before every run
    std::string staging;        // the staging table, as statements name it
    // One row of two numbers over the staging table: its rows whose key the table lacks,
    // and those the table holds with every value equal.
    std::string count;
    std::string upsert;
    std::string clear;  // empties the staging table, in the run's transaction
};

// The target rows whose key the source no longer holds: the source's keys are loaded into a
// staging table of the target (keys are compared by the target, and never all held in
// memory), then the rows without one of them counted and deleted, in one transaction.
struct MissingKeys {
    std::string dropStaging;
    std::string createStaging;
    std::string staging;  // the staging table's bare name: a temporary table hides any other
    std::string index;    // once the keys are in: each row's key is then found, not searched
    std::string count;
    std::string remove;
};
MissingKeys PlanMissingKeys(const Dialect& dialect, std::string_view table,
                            const std::vector<std::string>& key);

// table: quoted. columns: the table's columns the rows carry; key: those of them the rows
// are matched by.
// Whether a table of that name would be hidden by a staging table of the session (a
// temporary table comes first where names are looked up): such a table takes no merge.
bool IsStagingName(std::string_view table);

MergePlan PlanMerge(const Dialect& dialect, std::string_view table,
                    const std::vector<std::string>& columns, const std::vector<std::string>& key);

// One row merged alone, by statements of its own: whether the table holds its key, and
// with what; then its INSERT or UPDATE.
class MergeRow {
  public:
    // values: written as `statement` writes them, column by column.
    MergeRow(std::shared_ptr<const Dialect> dialect, std::string_view table,
             std::vector<std::string> columns, const std::vector<std::string>& key,
             RowStatement statement);
    // SELECT with one row when the table holds the key: 1 when every value is equal, else 0.
    std::string Probe(const std::vector<adodb::Variant>& values) const;
    // UPDATE of the row the key names.
    std::string Update(const std::vector<adodb::Variant>& values) const;

  private:
    std::string Where(const std::vector<adodb::Variant>& values) const;
    std::string Literal(std::size_t column, const adodb::Variant& value) const;

    std::shared_ptr<const Dialect> dialect_;
    std::string table_;
    std::vector<std::string> columns_;
    std::vector<bool> inKey_;
    RowStatement statement_;
};

}  // namespace korvanta
