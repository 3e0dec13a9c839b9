#pragma once

#include "sql/dialect/Dialect.h"

namespace korvanta {

// SQL Anywhere: lengths in characters, NUMERIC of at most 127 digits, BIT that takes no
// NULL unless told, strings that read backslash escapes, 0x binary literals, DEFAULT
// AUTOINCREMENT numbering, and its catalog's domain names and defaults. Its driver holds
// floating-point numbers as numbers.
class SqlAnywhereDialect final : public Dialect {
  public:
    std::string_view Name() const override { return "SQL Anywhere"; }
    const Capabilities& Can() const override;
    void Accept(DialectVisitor& visitor) const override { visitor.Visit(*this); }
    std::shared_ptr<const Dialect> WithSetting(std::string_view) const override;

    std::string Declaration(const ColumnType& type, std::string& notExact) const override;
    ExpressionSyntax Syntax() const override;
    void AppendString(std::string& buffer, std::string_view text) const override;
    std::string OneLineString(std::string_view text) const override;
    void AppendBinary(std::string& buffer, std::string_view hex) const override;
    std::string_view WrittenValue(std::string_view text, ValueRule rule,
                                  std::string& scratch) const override;
    bool WritesAsRead(ValueRule rule) const override;
    std::optional<ValueProblem> Unstorable(std::string_view text, ValueRule rule) const override;
    bool Checks(ValueRule rule) const override;

    std::string ColumnOptions(const ColumnSchema& column) const override;
    std::string IdentityClause(std::string& why) const override;
    std::string ReferentialClauses(const ForeignKeySchema& key, std::string& lost) const override;
    std::string NullsNotDistinct(bool& afterColumns) const override;
    std::string CollationClause(const Collation& collation, std::string& why) const override;
    std::string NullSafeEqual(std::string_view a, std::string_view b) const override;
    std::string NotNullStatement(std::string_view table,
                                 const std::vector<std::string>& columns) const override;
    bool FloatsAsNumbers() const override { return true; }
    NameRules Names() const override { return {false, true, 128, false, "\"\\", true}; }
    std::string RenameTableStatement(std::string_view from, std::string_view to) const override;
    bool LockConflict(std::string_view sqlstate, int native) const override;

    // A domain name of SYS.SYSDOMAIN with the column's width and scale.
    static ColumnType ReadType(std::string_view domain, int width, int scale);
    // A default of SYS.SYSTABCOL: "'n/a'", "current timestamp", "autoincrement";
    // `identity` is set for AUTOINCREMENT.
    static ColumnDefault ReadDefault(std::string_view text, bool& identity);

  protected:
    std::string Clock(TypeKind kind, bool utc, int digits) const override;
    // A BIT column is no condition by itself: it is compared with 1.
    bool BareTruthValues() const override { return false; }
};

}  // namespace korvanta
