#pragma once

#include "sql/dialect/Dialect.h"

namespace korvanta {

// The SQLite file that stands in for SQL Anywhere: declarations chosen for SQLite's type
// affinity (numbers that must come back as written get TEXT affinity under a name that
// still says what they are: "NUMERIC TEXT(12,2)"), keys and foreign keys only with the
// table, numbering only in a one-column INTEGER PRIMARY KEY, X'..' binary literals, its
// own tables (sqlite_...), and its driver, which gives doubles as 15-digit text only.
class SqliteDialect final : public Dialect {
  public:
    std::string_view Name() const override { return "SQLite"; }
    const Capabilities& Can() const override;
    void Accept(DialectVisitor& visitor) const override { visitor.Visit(*this); }
    std::shared_ptr<const Dialect> WithSetting(std::string_view) const override;

    std::string Declaration(const ColumnType& type, std::string& notExact) const override;
    ExpressionSyntax Syntax() const override;
    std::string OneLineString(std::string_view text) const override;
    void AppendBinary(std::string& buffer, std::string_view hex) const override;
    std::optional<ValueProblem> Unstorable(std::string_view text, ValueRule rule) const override;

    std::string ColumnOptions(const ColumnSchema& column) const override;
    std::string CollationClause(const Collation& collation, std::string& why) const override;
    std::string IdentityKeyColumn(const TableSchema& table) const override;
    std::string IdentityKeyDefinition(std::string_view quotedName,
                                      std::string_view constraint) const override;
    std::string IdentityClause(std::string& why) const override;

    std::string ExactRowsQuery(std::string_view from, const std::vector<SourceField>& fields,
                               std::vector<std::uint8_t>& marks) const override;
    ExactRead ExactValue(std::string_view text, std::uint8_t mark,
                         std::string& scratch) const override;
    std::string VerifyRowsQuery(std::string_view from, const std::vector<SourceField>& fields,
                                std::vector<std::uint8_t>& marks) const override;
    std::string DeclaredTypesQuery(std::string_view table) const override;
    std::string_view MarkLeads() const override;
    std::string_view MarkInside(std::uint8_t mark) const override;
    std::string StoredKindQuery(std::string_view from, std::string_view column) const override;
    bool FloatsAsNumbers() const override { return false; }
    NameRules Names() const override { return {false, true, 0, false}; }
    bool LockConflict(std::string_view sqlstate, int native) const override;
    std::string AtOrAfter(std::string_view column, std::string_view largest,
                          ValueKind kind) const override;
    std::string LargestQuery(std::string_view table, std::string_view column,
                             ValueKind kind) const override;
    bool IntegrityViolation(std::string_view sqlstate) const override;
    std::string StagingTable(std::string_view name) const override;
    std::string AsText(std::string_view expression) const override;
    std::string ByteOrder(std::string_view expression) const override;
    std::string CreateStaging(std::string_view name, std::string_view table,
                              const std::vector<std::string>& columns) const override;
    std::string DropStaging(std::string_view name) const override;
    std::string IndexStaging(std::string_view name,
                             const std::vector<std::string>& columns) const override;
    std::string UpsertStatement(std::string_view staging, std::string_view table,
                                const std::vector<std::string>& columns,
                                const std::vector<std::string>& key) const override;
    std::string EmptyTableStatement(std::string_view table) const override;
    std::string ReferentialClauses(const ForeignKeySchema& key, std::string& lost) const override;
    std::string KeysCheckedStatement(bool on) const override {
        return on ? "PRAGMA foreign_keys = ON" : "PRAGMA foreign_keys = OFF";
    }
    std::string NullSafeEqual(std::string_view a, std::string_view b) const override;
    bool IsOwnTable(std::string_view name) const override { return IsOwnName(name); }

    // A name SQLite keeps for itself: its tables and its automatic indexes (sqlite_...).
    static bool IsOwnName(std::string_view name);
    // A declaration: "VARCHAR(30)", "NUMERIC(12,2)", "INTEGER", "" (none), and the ones an
    // exact copy writes ("NUMERIC TEXT(12,2)").
    static ColumnType ReadType(std::string_view declared);
    // A default as pragma table_xinfo gives it, quotes kept: "'n/a'", "0",
    // "CURRENT_TIMESTAMP".
    static ColumnDefault ReadDefault(std::string_view text);

  protected:
    std::string MatchOperator(Expr::Match match) const override;
    std::string Cast(const ColumnType& to, const Expr& operand, const std::string& operandText,
                     std::string& why) const override;

    std::string Clock(TypeKind kind, bool utc, int digits) const override;

  private:
    // How ExactRowsQuery marks a column's values.
    static constexpr std::uint8_t kRendered = 1;        // as the driver reads them (bytes as X'..')
    static constexpr std::uint8_t kRenderedNumber = 2;  // the same, doubles to 15 digits too
    static constexpr std::uint8_t kDouble = 3;     // bytes behind their mark, doubles as quote()
    static constexpr std::uint8_t kEveryKind = 4;  // the same, and each text as its bytes' hex
    // A column whose values may go as bytes: declared so to the driver or to SQLite.
    static bool MayHoldBytes(const SourceField& field);
    // A column where doubles are at home: read as floating, declared a number, or undeclared.
    static bool HoldsDoubles(const SourceField& field);
    // Its type as declared, else as the driver names it.
    static ColumnType DeclaredType(const SourceField& field);
    static std::string_view DoubleValue(std::string_view text, std::string& scratch);
    static ColumnType NumericAffinity(std::string_view declared, const std::string& base, int a,
                                      int b);
};

}  // namespace korvanta
