#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sql/model/Side.h"
#include "sql/model/ValueCheck.h"

namespace korvanta {

// The constant name of ADO's DataTypeEnum for one of its 39 scalar type codes
// ("adInteger" for 3); the empty text for any other code, array types included.
std::string_view AdoTypeName(int code);

// What a source column becomes on the target: the type word of its column definition,
// and whether its values are numbers that the INSERT writes bare (towards PostgreSQL).
struct TypeWord {
    std::string_view word;
    bool numeric = false;
    ValueRule rule;  // what the column keeps of a value, and how its values compare
};

// The type is chosen by the first of the target side's ordered tests whose text occurs in
// the lower-case ADO type name; "TEXT" when none does.
TypeWord MapColumnType(int code, Side target);

// Builds CREATE TABLE one column at a time, so that the caller can let window events
// through between columns. Every name goes through QuotedName.
class CreateTableBuilder {
  public:
    CreateTableBuilder(Side target, std::string_view tableName);

    void AddColumn(std::string_view name, int typeCode);

    // The statement: ")" closes it towards PostgreSQL, ");" towards SQL Anywhere.
    std::string Statement() const;
    // The numeric column list: one flag per column added, true for the columns whose type
    // test was "int" or "currency" towards PostgreSQL (their values stand bare); always
    // false towards SQL Anywhere, where every value is quoted.
    const std::vector<bool>& NumericColumns() const noexcept { return numeric_; }
    // One rule per column added: what its type keeps of a value.
    const std::vector<ValueRule>& Rules() const noexcept { return rules_; }

  private:
    Side target_;
    std::string text_;
    std::vector<bool> numeric_;
    std::vector<ValueRule> rules_;
};

}  // namespace korvanta
