#pragma once

#include "sql/dialect/Dialect.h"

namespace korvanta {

// PostgreSQL: its types (format_type's names), E'...' strings where the server reads
// backslashes in '...', bytea's \x form, identity with its sequence set after the rows,
// date/time input that changes some values without a word, and its tables' own rows read
// with ONLY (an inheriting table's rows are its parent's too), its text for dates, times
// and GUIDs (psqlODBC rewrites them).
class PostgreSQLDialect final : public Dialect {
  public:
    // backslashStrings: the server reads backslashes in '...' (standard_conforming_strings
    // off): a string holding one is written E'...'.
    explicit PostgreSQLDialect(bool backslashStrings = false)
        : backslashStrings_(backslashStrings) {}

    std::string_view Name() const override { return "PostgreSQL"; }
    const Capabilities& Can() const override;
    void Accept(DialectVisitor& visitor) const override { visitor.Visit(*this); }
    std::string SettingQuery() const override { return "SHOW standard_conforming_strings"; }
    std::shared_ptr<const Dialect> WithSetting(std::string_view answer) const override;

    std::string Declaration(const ColumnType& type, std::string& notExact) const override;
    ExpressionSyntax Syntax() const override;
    void AppendString(std::string& buffer, std::string_view text) const override;
    std::string OneLineString(std::string_view text) const override;
    void AppendBinary(std::string& buffer, std::string_view hex) const override;
    std::optional<ValueProblem> Unstorable(std::string_view text, ValueRule rule) const override;
    bool Checks(ValueRule rule) const override;

    std::string IdentityClause(std::string& why) const override;
    std::string NumberingStatement(std::string_view table, std::string_view column) const override;
    std::string AlwaysStatement(std::string_view table, std::string_view column) const override;
    std::string NullsNotDistinct(bool& afterColumns) const override;
    std::string CollationClause(const Collation& collation, std::string& why) const override;
    std::string CollationStatement(const Collation& collation) const override;
    // The collation a case-insensitive column is given, made where it is missing.
    static std::string IgnoringCaseCollation();

    std::string TableKindQuery(std::string_view quotedTable) const override;
    std::string RowSource(std::string_view quotedTable, std::string_view kind) const override;
    std::string ExactRowsQuery(std::string_view from, const std::vector<SourceField>& fields,
                               std::vector<std::uint8_t>& marks) const override;
    bool FloatsAsNumbers() const override { return false; }
    NameRules Names() const override { return {true, false, 63, true}; }
    bool LockConflict(std::string_view sqlstate, int native) const override;
    std::string LargestQuery(std::string_view table, std::string_view column,
                             ValueKind kind) const override;
    std::string StagingTable(std::string_view name) const override;
    std::string AsText(std::string_view expression) const override;
    std::string ByteOrder(std::string_view expression) const override;
    std::string CreateStaging(std::string_view name, std::string_view table,
                              const std::vector<std::string>& columns) const override;
    std::string DropStaging(std::string_view name) const override;
    std::string ClearStaging(std::string_view name) const override;
    std::string UpsertStatement(std::string_view staging, std::string_view table,
                                const std::vector<std::string>& columns,
                                const std::vector<std::string>& key) const override;

    // A string that reads the same whatever standard_conforming_strings says: for the
    // catalog's queries, over connections whose setting was never asked.
    static std::string CatalogString(std::string_view text);
    // format_type's text: "integer", "numeric(12,2)", "character varying(30)",
    // "timestamp(3) with time zone", "integer[]"...
    static ColumnType ReadType(std::string_view formatted);
    // pg_get_expr's text of a default: "'n/a'::text", "0", "now()", ...; `identity` is set
    // for a sequence's nextval (serial).
    static ColumnDefault ReadDefault(std::string_view expression, bool& identity);

  protected:
    std::string Boolean(bool value) const override { return value ? "true" : "false"; }
    std::string Clock(TypeKind kind, bool utc, int digits) const override;
    std::string MatchOperator(Expr::Match match) const override;

  private:
    bool backslashStrings_;
};

}  // namespace korvanta
