#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sql/model/Expression.h"
#include "sql/model/Schema.h"
#include "sql/model/Side.h"
#include "sql/model/SourceField.h"
#include "sql/model/ValueCheck.h"

namespace korvanta {

class PostgreSQLDialect;
class SqlAnywhereDialect;
class SqliteDialect;
class OdbcDialect;

// What a database takes beyond the common ground of SQL.
struct Capabilities {
    // Keys, unique constraints, NOT NULL and foreign keys only with the table, in its
    // CREATE TABLE: none can be added afterwards.
    bool constraintsOnlyWithTable = false;
    // A constraint keeps the name it is given (CONSTRAINT "pk_orders").
    bool namedConstraints = false;
    // CREATE INDEX may go without a name: the database chooses one.
    bool indexNamesOptional = false;
    // An index with a WHERE condition.
    bool partialIndexes = false;
    // An index whose key is an expression.
    bool expressionIndexes = false;
    // An index key ordered NULLS FIRST or NULLS LAST.
    bool nullsOrder = false;
    // A foreign key checked at the end of the transaction.
    bool deferrableKeys = false;
    // CHECK constraints.
    bool checks = false;
    // A column numbered by the database (identity) is NOT NULL by that alone.
    bool identityIsNotNull = false;
    // NULL sorts before every value (SQLite, SQL Anywhere); else after (PostgreSQL).
    bool nullsSortFirst = false;
    // A key's columns must be NOT NULL before the key is added (SQL Anywhere).
    bool keyColumnsNeedNotNull = false;
    // A unique constraint takes no NULL (SQL Anywhere): a nullable column's uniqueness is
    // a unique index there.
    bool uniqueConstraintsRefuseNull = false;
    // CURRENT_TIMESTAMP(3): a clock with its digits of a second.
    bool clockPrecision = false;
    // Its driver's arrays of parameters give every row the byte length of the first row's
    // binary value (sqliteodbc): binary values go one row per execution.
    bool arraysKeepFirstBinaryLength = false;
};

// How a database treats the names of its tables and columns.
struct NameRules {
    bool foldsUnquotedToLower = false;  // an unquoted name is stored in lower case (PostgreSQL)
    bool caseBlind = false;  // names that differ only in letter case name one object, quoted too
    std::size_t longestBytes = 0;  // the longest name it stores, in bytes; 0: no limit known
    bool cutsLonger = false;       // a longer name is cut there without a word; else refused
    std::string_view refusedCharacters = {};  // characters no name may hold
    bool refusesControls = false;             // nor a control character
};

// The one place a dialect's own kind matters: reading its catalog, which each database
// keeps its own way (see engine/schema).
// A column's type by its name, for the writer of an expression over a table's columns;
// nullptr for a name that is no column.
using ColumnTypes = std::function<const ColumnType*(std::string_view column)>;

class DialectVisitor {
  public:
    virtual ~DialectVisitor() = default;
    virtual void Visit(const PostgreSQLDialect& dialect) = 0;
    virtual void Visit(const SqlAnywhereDialect& dialect) = 0;
    virtual void Visit(const SqliteDialect& dialect) = 0;
    virtual void Visit(const OdbcDialect& dialect) = 0;
};

// Everything one database is to the tool: the type each neutral column type is declared
// as there (and each catalog type read back, in its own class), how it writes a string, a
// binary value, a default and a numbered column, what it changes of a value it takes, what
// it can carry, and how its rows are read so that every value arrives as it holds it. One
// class per database, each in a file of its own; DialectOf is the only place that tells
// them apart.
class Dialect {
  public:
    virtual ~Dialect() = default;

    virtual std::string_view Name() const = 0;
    virtual const Capabilities& Can() const = 0;
    virtual void Accept(DialectVisitor& visitor) const = 0;

    // A statement whose one-row answer configures the dialect further (PostgreSQL's
    // standard_conforming_strings); empty when there is none.
    virtual std::string SettingQuery() const { return {}; }
    // The dialect as that answer configures it.
    virtual std::shared_ptr<const Dialect> WithSetting(std::string_view answer) const = 0;

    // ---- Types ----
    // The declaration of a column of this type, and why it is not exact when it is not
    // (`notExact` empty when it is).
    virtual std::string Declaration(const ColumnType& type, std::string& notExact) const = 0;

    // ---- Values ----
    // A string between apostrophes, as this database reads it back unchanged.
    virtual void AppendString(std::string& buffer, std::string_view text) const;
    std::string String(std::string_view text) const;
    // The same on one line: a line break as this database's escape for it, so that every
    // statement printed is one line.
    virtual std::string OneLineString(std::string_view text) const;
    // Bytes (given as hex digits, two a byte) as this database's binary literal.
    virtual void AppendBinary(std::string& buffer, std::string_view hex) const = 0;
    // Why this database would keep something other than the value in a column of the rule's
    // kind (not UTF-8, a NUL, a negative zero in a decimal column, ...); nullopt when it keeps it.
    virtual std::optional<ValueProblem> Unstorable(std::string_view text, ValueRule rule) const;
    // Whether Unstorable() looks at more than the bytes of a value of this rule: a value of
    // any other rule that is ASCII without NUL needs no asking.
    virtual bool Checks(ValueRule rule) const;
    // The same value in the form this database reads it as such, where its own form differs
    // (SQL Anywhere's zone offsets +HH:MM); `scratch` may hold the result.
    virtual std::string_view WrittenValue(std::string_view text, ValueRule rule,
                                          std::string& scratch) const;
    // Whether WrittenValue() gives every value of the rule's kind as it is.
    virtual bool WritesAsRead(ValueRule rule) const;

    // ---- Defaults ----
    // A column's default as this database writes it; empty, with `why`, when it has no
    // counterpart.
    std::string Default(const ColumnSchema& column, std::string& why) const;
    std::string BinaryDefault(std::string_view literal, std::string& why) const;

    // ---- Expressions ----
    // How this database's own SQL reads: its strings, LIKE, its type names in casts.
    virtual ExpressionSyntax Syntax() const;
    // `text` as this database wrote it, with its tree where it can be read.
    SourceExpression Read(std::string_view text) const;
    // The expression in this database's SQL, as a condition (a CHECK, an index's WHERE)
    // when `condition`, else as a value; empty, with `why`, where it has no counterpart.
    std::string Expression(const Expr& expr, const ColumnTypes& columns, bool condition,
                           std::string& why) const;
    // A default no common form reads (kOther) as an expression of constants, where it is one.
    ColumnDefault WithExpression(ColumnDefault read) const;

    // ---- Columns, numbering, keys ----
    // What a column definition takes after its type beyond the default (SQL Anywhere's BIT
    // NULL, SQLite's NOT NULL).
    virtual std::string ColumnOptions(const ColumnSchema& column) const;
    // The column of a table this database numbers as its row key itself, declared whole by
    // IdentityKeyDefinition; empty when it numbers columns by IdentityClause.
    virtual std::string IdentityKeyColumn(const TableSchema& table) const;
    virtual std::string IdentityKeyDefinition(std::string_view quotedName,
                                              std::string_view constraint) const;
    // The clause after a numbered column's type; empty (and `why` set) when this database
    // numbers no such column.
    virtual std::string IdentityClause(std::string& why) const = 0;
    // The statement that sets a numbered column to go on after the largest value the rows
    // brought; empty when the database does so itself.
    virtual std::string NumberingStatement(std::string_view table, std::string_view column) const;
    // The statement, after the rows, that makes a numbered column refuse a number given
    // (GENERATED ALWAYS); empty where this database has no such column.
    virtual std::string AlwaysStatement(std::string_view table, std::string_view column) const;
    // What follows a foreign key's REFERENCES (...): its actions and when it is checked;
    // `lost` says what of it this database has no counterpart for.
    virtual std::string ReferentialClauses(const ForeignKeySchema& key, std::string& lost) const;
    // A unique index's clause under which NULLs are equal, and whether it stands right
    // after the columns (else at the end); empty where there is none.
    virtual std::string NullsNotDistinct(bool& afterColumns) const;
    // An index key's NULLS FIRST or NULLS LAST where this database writes it; empty, with
    // `why` where the order asked is not its own and it cannot be asked for.
    std::string NullsClause(const IndexKey& key, std::string& why) const;
    // The COLLATE clause of a column's collation; empty, with `why`, where there is none.
    virtual std::string CollationClause(const Collation& collation, std::string& why) const;
    // The statement that makes that collation where the database may not have it yet;
    // empty where it has it always.
    virtual std::string CollationStatement(const Collation& collation) const;
    // ALTER TABLE that makes the columns NOT NULL.
    virtual std::string NotNullStatement(std::string_view table,
                                         const std::vector<std::string>& columns) const;

    // ---- Rows into a table that stands there ----
    // Empties the table, keeping its definition, its rights and what depends on it.
    virtual std::string EmptyTableStatement(std::string_view table) const;
    // --since: the column's largest value as text that the other database can compare (an
    // instant in UTC), one row, NULL for an empty table; `table` quoted.
    virtual std::string LargestQuery(std::string_view table, std::string_view column,
                                     ValueKind kind) const;
    // The rows whose `column` is at or after `largest` (the other database's text of it).
    virtual std::string AtOrAfter(std::string_view column, std::string_view largest,
                                  ValueKind kind) const;
    // Where a connection checks no foreign key unless told (SQLite), the statement that
    // makes it check them (`on`) or stop again; empty where they are always checked. Rows
    // are deleted under it, so that none another table refers to goes.
    virtual std::string KeysCheckedStatement(bool /*on*/) const { return {}; }
    // The text expression compared and ordered by its bytes, so that two databases put
    // texts in one order (for UTF-8, the characters' code points); empty where there is no
    // such order to ask for.
    virtual std::string ByteOrder(std::string_view expression) const;
    // The value of the expression as text, every digit kept.
    virtual std::string AsText(std::string_view expression) const;
    // `a` equal to `b`, where two NULLs are equal as well.
    virtual std::string NullSafeEqual(std::string_view a, std::string_view b) const;
    // A temporary table of the session named `name` (a merge loads each run of rows into
    // one) as statements name it, the statement that makes it with `columns` of `table` (and
    // nothing when it stands there already), and the one that drops it. Only the session's
    // own temporary table is ever dropped, never a table of that name in the database.
    virtual std::string StagingTable(std::string_view name) const;
    virtual std::string CreateStaging(std::string_view name, std::string_view table,
                                      const std::vector<std::string>& columns) const;
    virtual std::string DropStaging(std::string_view name) const;
    // Empties that table, in the transaction of the run that filled it.
    virtual std::string ClearStaging(std::string_view name) const;
    // An index of that table on `columns`.
    virtual std::string IndexStaging(std::string_view name,
                                     const std::vector<std::string>& columns) const;
    // Writes the rows of the staging table `staging` into the table: a row whose `key` is
    // there updates it where a value differs, the others are inserted.
    virtual std::string UpsertStatement(std::string_view staging, std::string_view table,
                                        const std::vector<std::string>& columns,
                                        const std::vector<std::string>& key) const;
    // Every one of `columns` but the key's equal in `left` and `right` (table aliases);
    // "1 = 1" when every column is in the key.
    std::string Unchanged(const std::vector<std::string>& columns,
                          const std::vector<std::string>& key, std::string_view left,
                          std::string_view right) const;

    // ---- Reading rows ----
    // A query whose one answer tells how a table's own rows are read (PostgreSQL: its kind,
    // as an inheriting table's rows are its parent's too); empty when there is none.
    virtual std::string TableKindQuery(std::string_view quotedTable) const;
    // What SELECT reads a table's own rows from, given that answer.
    virtual std::string RowSource(std::string_view quotedTable, std::string_view kind) const;
    // A query whose rows give each column's name and declared type, where the database's
    // driver reports another (see SourceField::declared); empty where there is none.
    virtual std::string DeclaredTypesQuery(std::string_view table) const;
    // A query over the same rows that gives values exactly as the database holds them,
    // where SELECT * through its driver would not; `marks` tells, per column, how
    // ExactValue reads its values (0: they come as they are). Empty when SELECT * is exact.
    virtual std::string ExactRowsQuery(std::string_view from,
                                       const std::vector<SourceField>& fields,
                                       std::vector<std::uint8_t>& marks) const;
    // A query over the same rows for a verification: a statement of its own, not the one a
    // send reads with, giving every value in a form no driver changes; `marks` as for
    // ExactRowsQuery. Empty when SELECT * gives that.
    virtual std::string VerifyRowsQuery(std::string_view from,
                                        const std::vector<SourceField>& fields,
                                        std::vector<std::uint8_t>& marks) const;
    // What a value of a column so marked is: its text, or (`bytes`) the hex digits of bytes.
    // `doubtful`: something else would have read the same, and StoredKindQuery tells which
    // the column may hold: a text of these very characters (for bytes), else a
    // floating-point number that the driver gave to 15 digits only. `scratch` may hold the
    // result.
    struct ExactRead {
        std::string_view text;
        bool bytes = false;
        bool doubtful = false;
    };
    virtual ExactRead ExactValue(std::string_view text, std::uint8_t mark,
                                 std::string& scratch) const;
    // The first bytes of the values ExactValue may read as something else, and per mark up
    // to two bytes that anywhere in a value make it worth reading: any other value of a
    // marked column is as it reads.
    virtual std::string_view MarkLeads() const;
    virtual std::string_view MarkInside(std::uint8_t mark) const;
    // A query whose one row tells, as 1 or 0, whether the column holds a text that reads as
    // bytes would, whether it holds bytes, and whether it holds floating-point numbers; in
    // the snapshot of a read running on the same connection.
    virtual std::string StoredKindQuery(std::string_view from, std::string_view column) const;
    // Floating-point columns are fetched as numbers: the driver holds the number itself.
    virtual bool FloatsAsNumbers() const = 0;
    // A table the database keeps for itself, never listed nor sent.
    virtual bool IsOwnTable(std::string_view name) const;

    // ---- Names and what its refusals mean ----
    virtual NameRules Names() const { return {}; }
    // The name as the database will store it: cut at a character where it cuts longer
    // names. nullopt, with `why`, where it refuses the name.
    std::optional<std::string> StoredName(std::string_view name, std::string& why) const;
    // Whether the database takes the two names for one.
    bool SameName(std::string_view a, std::string_view b) const;
    // ALTER TABLE renaming a table.
    virtual std::string RenameTableStatement(std::string_view from, std::string_view to) const;
    // A refusal because another session holds a lock (or a deadlock broke the statement):
    // waiting and trying again may succeed.
    virtual bool LockConflict(std::string_view sqlstate, int native) const;
    // A refusal because rows break a constraint (a duplicate, a NULL, a reference to nothing).
    virtual bool IntegrityViolation(std::string_view sqlstate) const;

  protected:
    // INSERT ... ON CONFLICT (key) DO UPDATE from the staging table, where the database has it.
    std::string OnConflictUpsert(std::string_view staging, std::string_view table,
                                 const std::vector<std::string>& columns,
                                 const std::vector<std::string>& key) const;
    // A string after `opening` (' or E') up to a closing ', with '' for ' and backslash
    // escapes for a backslash, a line break and a carriage return: one line, for a database
    // that reads those escapes there.
    static std::string EscapedString(std::string_view opening, std::string_view text);
    // The pieces of a default: a truth value, and a clock: the current date (kDate), time of
    // day (kTime), local timestamp (kTimestamp) or instant (kTimestampTz), local or in UTC,
    // with its digits of a second where given (-1: none asked); empty where there is none.
    virtual std::string Boolean(bool value) const;
    virtual std::string Clock(TypeKind kind, bool utc, int digits) const;

    // Pieces of an expression: the name of a function every database has (lower, upper,
    // length, coalesce, substr, abs, trim) or of a clock (current_date, ..., now); empty
    // where there is none.
    virtual std::string FunctionName(std::string_view name) const;
    // The operator that matches a pattern the way asked (LIKE, ILIKE, GLOB); empty where
    // this database has none.
    virtual std::string MatchOperator(Expr::Match match) const;
    // `operand` cast to the type, where the two are not of one family already.
    virtual std::string Cast(const ColumnType& to, const Expr& operand,
                             const std::string& operandText, std::string& why) const;
    // A truth-valued column stands alone as a condition (else it is compared with 1).
    virtual bool BareTruthValues() const { return true; }

  private:
    std::string Atom(const Expr& expr, const ColumnTypes& columns, bool condition) const;
    bool Write(const Expr& expr, const ColumnTypes& columns, bool condition, std::string& out,
               std::string& why) const;
    bool WriteFunction(const Expr& expr, const ColumnTypes& columns, std::string& out,
                       std::string& why) const;
    bool WriteLike(const Expr& expr, const ColumnTypes& columns, std::string& out,
                   std::string& why) const;
    bool WriteOperands(const Expr& expr, const ColumnTypes& columns, std::size_t from,
                       std::vector<std::string>& texts, std::string& why) const;
};

// The dialect of a database: PostgreSQL's on that side; on the ODBC side the one its
// driver's DBMS name (SQLGetInfo SQL_DBMS_NAME) names: "SQL Anywhere" or "Adaptive Server
// Anywhere", "SQLite", "PostgreSQL", else a generic dialect of standard SQL.
std::shared_ptr<const Dialect> DialectOf(Side side, std::string_view dbmsName);

// Every dialect there is, for a rule that must hold whichever database answered (a failure
// whose side is not known).
const std::vector<std::shared_ptr<const Dialect>>& EveryDialect();
// The dialect a user names: "postgresql", "sqlanywhere", "sqlite" or "odbc" (any case);
// nullptr for another word.
std::shared_ptr<const Dialect> DialectNamed(std::string_view name);

}  // namespace korvanta
