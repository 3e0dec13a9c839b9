// The plan of a table as statements, in each dialect. SQL Anywhere runs nowhere here, so its
// statements are checked against its documentation's grammar (CREATE TABLE with DEFAULT
// AUTOINCREMENT and BIT NULL, ALTER TABLE ... ALTER ... NOT NULL before ADD PRIMARY KEY,
// CONSTRAINT names, a nullable column's uniqueness as a unique index, foreign keys with ON
// UPDATE before ON DELETE and no NO ACTION, CHECK ON COMMIT); PostgreSQL's and SQLite's
// also run against real servers in the exact-table tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/dialect/SqlAnywhereDialect.h"
#include "sql/dialect/SqliteDialect.h"
#include "sql/statements/ExistingTable.h"
#include "sql/statements/RouteStatements.h"
#include "sql/statements/TablePlan.h"

using namespace korvanta;

namespace {

struct Builder {
    TableSchema t;

    ColumnSchema& Column(const char* name, ColumnType type, bool notNull = false) {
        ColumnSchema c;
        c.name = name;
        c.type = std::move(type);
        c.notNull = notNull;
        t.columns.push_back(c);
        return t.columns.back();
    }
    IndexSchema& Index(const char* name, std::vector<std::string> columns, bool unique,
                       bool constraint = false) {
        IndexSchema index;
        index.name = name;
        for (const std::string& column : columns) {
            IndexKey key;
            key.column = column;
            index.keys.push_back(key);
        }
        index.unique = unique;
        index.constraint = constraint;
        t.indexes.push_back(index);
        return t.indexes.back();
    }
    ForeignKeySchema& Key(const char* name, std::vector<std::string> columns, const char* table,
                          std::vector<std::string> referenced) {
        ForeignKeySchema key;
        key.name = name;
        key.columns = std::move(columns);
        key.table = table;
        key.referencedColumns = std::move(referenced);
        t.foreignKeys.push_back(key);
        return t.foreignKeys.back();
    }
    void Check(const char* name, const Dialect& source, const char* text) {
        t.checks.push_back({name, source.Read(text), {}, {}});
    }
};

std::vector<std::string> Statements(const std::vector<SchemaStep>& steps) {
    std::vector<std::string> statements;
    for (const SchemaStep& step : steps)
        statements.push_back(step.statement);
    return statements;
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

const auto kEverywhere = [](std::string_view) { return true; };

// One table with what SQL Anywhere takes and what it does not, and the statements an exact
// copy writes for it there.
TEST(TablePlan, SqlAnywhereStatements) {
    Builder b;
    const PostgreSQLDialect pg;
    b.Column("id", PostgreSQLDialect::ReadType("bigint"), true).identity = true;
    b.Column("code", PostgreSQLDialect::ReadType("character varying(30)"), true);
    b.Column("amount", PostgreSQLDialect::ReadType("numeric(12,2)")).defaultValue =
        SqliteDialect::ReadDefault("0");
    b.Column("free", PostgreSQLDialect::ReadType("numeric"));
    b.Column("flag", PostgreSQLDialect::ReadType("boolean")).defaultValue =
        SqliteDialect::ReadDefault("true");
    b.Column("note", PostgreSQLDialect::ReadType("text")).defaultValue =
        SqliteDialect::ReadDefault("'it''s \\\\ here'");
    b.Column("created", PostgreSQLDialect::ReadType("timestamp without time zone")).defaultValue =
        SqliteDialect::ReadDefault("CURRENT_TIMESTAMP");
    b.Column("raw", PostgreSQLDialect::ReadType("bytea"));
    b.Column("tags", PostgreSQLDialect::ReadType("text[]"));
    b.Column("odd", PostgreSQLDialect::ReadType("numeric(3,5)"));
    b.Column("email", PostgreSQLDialect::ReadType("text")).collation = {
        Collation::Kind::kIgnoringCase, "nocase"};
    b.t.primaryKey = {"id"};
    b.t.primaryKeyName = "pk_orders";
    b.Index("t_code", {"code"}, true, true);
    b.Index("t_note", {"note"}, true, true);  // nullable: a unique index there
    b.Index("t_amount", {"amount", "id"}, false).keys[0].descending = true;
    b.Index("t_partial", {"code"}, true).predicate = pg.Read("(amount > (0)::numeric)");
    b.Index("t_lower", {""}, false).keys[0].expression = pg.Read("lower(note)");
    b.Index("t_gist", {"note"}, false).method = "gist";
    ForeignKeySchema& parent = b.Key("t_parent", {"id"}, "parent", {"pid"});
    parent.onDelete = ReferentialAction::kCascade;
    parent.onUpdate = ReferentialAction::kSetNull;
    parent.matchFull = true;
    b.Key("t_plain", {"code"}, "codes", {"code"}).initiallyDeferred = true;
    b.t.foreignKeys.back().deferrable = true;
    b.Key("t_soon", {"amount"}, "amounts", {"a"}).deferrable = true;
    b.Check("ck_amount", pg, "((amount > (0)::numeric) AND (NOT flag))");
    const TablePlan plan = PlanExactTable(b.t, "orders", SqlAnywhereDialect(), kEverywhere);
    EXPECT_EQ(
        plan.createTable,
        "CREATE TABLE \"orders\"(\"id\" BIGINT DEFAULT AUTOINCREMENT, \"code\" VARCHAR(30 "
        "CHAR), \"amount\" NUMERIC(12,2) DEFAULT 0, \"free\" LONG VARCHAR, \"flag\" BIT "
        "NULL DEFAULT 1, \"note\" LONG VARCHAR DEFAULT 'it''s \\\\\\\\ here', \"created\" "
        "TIMESTAMP DEFAULT CURRENT UTC TIMESTAMP, \"raw\" LONG BINARY, \"tags\" LONG VARCHAR, "
        "\"odd\" LONG VARCHAR, \"email\" LONG VARCHAR)");
    EXPECT_TRUE(plan.beforeTable.empty());
    EXPECT_EQ(Statements(plan.afterRows),
              (std::vector<std::string>{
                  "ALTER TABLE \"orders\" ALTER \"id\" NOT NULL, ALTER \"code\" NOT NULL",
                  "ALTER TABLE \"orders\" ADD CONSTRAINT \"pk_orders\" PRIMARY KEY (\"id\")",
                  "ALTER TABLE \"orders\" ADD CONSTRAINT \"ck_amount\" CHECK ((\"amount\" > 0) "
                  "AND (NOT (\"flag\" = 1)))",
                  "ALTER TABLE \"orders\" ADD CONSTRAINT \"t_code\" UNIQUE (\"code\")",
                  "CREATE UNIQUE INDEX \"t_note\" ON \"orders\" (\"note\")",
                  "CREATE INDEX \"t_amount\" ON \"orders\" (\"amount\" DESC, \"id\")",
              }));
    EXPECT_EQ(Statements(plan.foreignKeys),
              (std::vector<std::string>{
                  "ALTER TABLE \"orders\" ADD CONSTRAINT \"t_parent\" FOREIGN KEY (\"id\") "
                  "REFERENCES \"parent\" (\"pid\") MATCH FULL ON UPDATE SET NULL ON DELETE CASCADE",
                  "ALTER TABLE \"orders\" ADD CONSTRAINT \"t_plain\" FOREIGN KEY (\"code\") "
                  "REFERENCES \"codes\" (\"code\") CHECK ON COMMIT",
                  "ALTER TABLE \"orders\" ADD CONSTRAINT \"t_soon\" FOREIGN KEY (\"amount\") "
                  "REFERENCES \"amounts\" (\"a\")",
              }));
    EXPECT_TRUE(plan.sequences.empty()) << "AUTOINCREMENT goes on after the largest by itself";
    const std::vector<std::string> expectedNotCarried = {
        "column \"free\" (numeric): a number of any precision, its values as text",
        "column \"tags\" (text[]): no counterpart, its values as text",
        "column \"odd\" (numeric(3,5)): a scale below 0 or above the precision, its values as "
        "text",
        "column \"email\": comparison that ignores case: SQL Anywhere's case rule belongs to the "
        "whole database",
        "unique index t_partial (code) where (amount > (0)::numeric): SQL Anywhere has no partial "
        "indexes",
        "index t_lower (lower(note)): a key is an expression: SQL Anywhere has no indexes on "
        "expressions",
        "index t_gist (note): a gist index; SQL Anywhere makes btree indexes only, and one is no "
        "stand-in for it",
        "foreign key (amount) to amounts (a): DEFERRABLE INITIALLY IMMEDIATE: SQL Anywhere checks "
        "a key at once or at commit",
    };
    EXPECT_EQ(plan.notCarried, expectedNotCarried);
}

// A SQLite table towards PostgreSQL: its case-insensitive column with the collation made
// first, its checks (LIKE that ignores case as ILIKE, 0/1 beside a truth value as one),
// its expression index with a condition, char(n) kept, sizes PostgreSQL cannot declare as
// the unbounded type, named.
TEST(TablePlan, PostgreSQLStatements) {
    Builder b;
    const SqliteDialect lite;
    b.Column("id", SqliteDialect::ReadType("INTEGER"), true).identity = true;
    b.Column("email", SqliteDialect::ReadType("TEXT")).collation = {Collation::Kind::kIgnoringCase,
                                                                    "NOCASE"};
    b.Column("code", SqliteDialect::ReadType("CHAR(4)"));
    b.Column("huge", SqliteDialect::ReadType("CHAR(20000000)"));
    b.Column("wide", SqliteDialect::ReadType("NUMERIC(2000,1)"));
    b.Column("deleted", SqliteDialect::ReadType("BOOLEAN"));
    b.Column("made", SqliteDialect::ReadType("DATE")).defaultValue =
        SqliteDialect::ReadDefault("'now'");
    b.Column("note", SqliteDialect::ReadType("BLOB SUB_TYPE TEXT"));
    b.t.primaryKey = {"id"};
    b.Check("ck_mail", lite, "email LIKE '%@%' AND deleted IN (0, 1)");
    b.Check("", lite, "code GLOB 'A*'");
    b.Check("ck_class", lite, "code GLOB '[A-Z]*'");
    IndexSchema& lower = b.Index("people_lower", {""}, true);
    lower.keys[0].expression = lite.Read("lower(email)");
    lower.predicate = lite.Read("NOT deleted");
    b.Index("people_code", {"code"}, false).keys[0].nulls = NullsOrder::kFirst;
    const TablePlan plan = PlanExactTable(b.t, "people", PostgreSQLDialect(), kEverywhere);
    EXPECT_EQ(
        Statements(plan.beforeTable),
        (std::vector<std::string>{"CREATE COLLATION IF NOT EXISTS \"nocase\" (provider = "
                                  "icu, locale = 'und-u-ks-level2', deterministic = false)"}));
    EXPECT_EQ(plan.createTable,
              "CREATE TABLE \"people\"(\"id\" bigint GENERATED BY DEFAULT AS IDENTITY, \"email\" "
              "text COLLATE \"nocase\", \"code\" character(4), \"huge\" text, \"wide\" numeric, "
              "\"deleted\" boolean, \"made\" date, \"note\" text)");
    EXPECT_EQ(plan.createTableFallback,
              "CREATE TABLE \"people\"(\"id\" bigint GENERATED BY DEFAULT AS IDENTITY, \"email\" "
              "text, \"code\" character(4), \"huge\" text, \"wide\" numeric, \"deleted\" boolean, "
              "\"made\" date, \"note\" text)");
    EXPECT_EQ(Statements(plan.afterRows),
              (std::vector<std::string>{
                  "ALTER TABLE \"people\" ADD PRIMARY KEY (\"id\")",
                  "ALTER TABLE \"people\" ADD CONSTRAINT \"ck_mail\" CHECK ((\"email\" ILIKE "
                  "'%@%') AND (\"deleted\" IN (false, true)))",
                  "ALTER TABLE \"people\" ADD CHECK (\"code\" LIKE 'A%')",
                  "CREATE UNIQUE INDEX \"people_lower\" ON \"people\" ((lower(\"email\"))) WHERE "
                  "NOT \"deleted\"",
                  "CREATE INDEX \"people_code\" ON \"people\" (\"code\" NULLS FIRST)",
              }));
    const std::vector<std::string>& lost = plan.notCarried;
    EXPECT_TRUE(Has(lost,
                    "check ck_class (code GLOB '[A-Z]*'): a pattern match PostgreSQL has "
                    "no counterpart for"));
    EXPECT_TRUE(std::any_of(lost.begin(), lost.end(), [](const std::string& item) {
        return item.rfind("default of \"made\" ('now'): ", 0) == 0;
    })) << "the text 'now' as a date default would be read once, when the table is made";
    EXPECT_TRUE(
        Has(lost, "column \"huge\" (CHAR(20000000)): longer than PostgreSQL declares, as text"));
    EXPECT_TRUE(Has(lost,
                    "column \"wide\" (NUMERIC(2000,1)): more digits than PostgreSQL "
                    "declares, as numeric of any size"));
    EXPECT_EQ(plan.withoutCollations,
              (std::vector<std::string>{
                  "collation of \"email\" (NOCASE): the collation could not be made"}));
}

// A PostgreSQL table towards SQLite: everything goes with the table, under its names.
TEST(TablePlan, SqliteStatements) {
    Builder b;
    const PostgreSQLDialect pg;
    ColumnSchema& id = b.Column("id", PostgreSQLDialect::ReadType("integer"), true);
    id.identity = id.identityAlways = true;
    b.Column("status", PostgreSQLDialect::ReadType("character varying(10)"), true);
    b.Column("year", PostgreSQLDialect::ReadType("integer"));
    b.Column("made", PostgreSQLDialect::ReadType("date")).defaultValue = [] {
        bool identity = false;
        return PostgreSQLDialect::ReadDefault("('now'::text)::date", identity);
    }();
    b.t.primaryKey = {"id"};
    b.t.primaryKeyName = "pk_orders";
    b.Index("uq_status", {"status", "year"}, true, true);
    b.Index("open_only", {"status"}, false).predicate = pg.Read(
        "((status)::text = ANY ((ARRAY['open'::character varying, 'held'::character "
        "varying])::text[]))");
    IndexSchema& late = b.Index("by_year", {"year"}, false);
    late.keys[0].descending = true;
    late.keys[0].nulls = NullsOrder::kLast;
    b.Key("fk_parent", {"year"}, "years", {"y"}).initiallyDeferred = true;
    b.t.foreignKeys.back().deferrable = true;
    b.t.checks.push_back({{}, pg.Read("((VALUE >= 1901) AND (VALUE <= 2155))"), "year", "year"});
    std::string why;
    ASSERT_TRUE(RenameColumns(
        *b.t.checks.back().expression.tree,
        [](std::string_view) { return std::optional<std::string>("year"); }, why));
    const TablePlan plan = PlanExactTable(b.t, "orders", SqliteDialect(), kEverywhere);
    EXPECT_EQ(plan.createTable,
              "CREATE TABLE \"orders\"(\"id\" INTEGER CONSTRAINT \"pk_orders\" PRIMARY KEY "
              "AUTOINCREMENT, \"status\" VARCHAR(10) NOT NULL, \"year\" INT4, \"made\" DATE "
              "DEFAULT (date('now', 'localtime')), CONSTRAINT \"fk_parent\" FOREIGN KEY (\"year\") "
              "REFERENCES "
              "\"years\" (\"y\") ON DELETE NO ACTION ON UPDATE NO ACTION DEFERRABLE INITIALLY "
              "DEFERRED, CONSTRAINT \"uq_status\" UNIQUE (\"status\", \"year\"), CHECK "
              "((\"year\" >= 1901) AND (\"year\" <= 2155)))");
    EXPECT_EQ(Statements(plan.afterRows),
              (std::vector<std::string>{
                  "CREATE INDEX \"open_only\" ON \"orders\" (\"status\") WHERE \"status\" IN "
                  "('open', 'held')",
                  "CREATE INDEX \"by_year\" ON \"orders\" (\"year\" DESC)",
              }))
        << "DESC puts NULLs last in SQLite already, but its catalog does not say so";
    EXPECT_EQ(plan.notCarried,
              (std::vector<std::string>{
                  "GENERATED ALWAYS of \"id\": SQLite takes a number given for a numbered column",
                  "index by_year (year): NULLS LAST: SQLite's indexes keep no order of NULLs (its "
                  "own puts them last here)"}));
    EXPECT_TRUE(Has(plan.carried,
                    "check of domain year on \"year\" ((VALUE >= 1901) AND (VALUE "
                    "<= 2155))"));
}

}  // namespace

namespace {

// The key a cut copy goes on after: integers and texts in byte order, none of them taking
// NULL (a key that takes NULL orders its rows no two databases alike).
TEST(OrderKey, OnlyAKeyThatTakesNoNullOrdersTheRows) {
    using korvanta::TypeKind;
    const auto column = [](const char* name, TypeKind kind, bool notNull, bool identity = false) {
        korvanta::ColumnSchema c;
        c.name = name;
        c.type.kind = kind;
        c.notNull = notNull;
        c.identity = identity;
        return c;
    };
    struct Case {
        std::vector<korvanta::ColumnSchema> columns;
        std::vector<std::string> primaryKey;
        bool uniqueIndexOnFirst;
        bool textInByteOrder;
        std::vector<std::string> key;  // empty: none
    };
    const Case cases[] = {
        {{column("id", TypeKind::kInteger, true)}, {"id"}, false, true, {"id"}},
        {{column("id", TypeKind::kBigInt, false, true)}, {"id"}, false, true, {"id"}},
        {{column("code", TypeKind::kText, false)}, {"code"}, false, true, {}},
        {{column("code", TypeKind::kVarChar, true)}, {"code"}, false, true, {"code"}},
        {{column("code", TypeKind::kVarChar, true)}, {"code"}, false, false, {}},
        {{column("a", TypeKind::kInteger, true), column("b", TypeKind::kInteger, false)},
         {"a", "b"},
         false,
         true,
         {}},
        {{column("d", TypeKind::kDate, true)}, {"d"}, false, true, {}},
        {{column("n", TypeKind::kInteger, true)}, {}, true, true, {"n"}},
        {{column("n", TypeKind::kInteger, false)}, {}, true, true, {}},
    };
    for (const Case& c : cases) {
        korvanta::TableSchema table;
        table.columns = c.columns;
        table.primaryKey = c.primaryKey;
        if (c.uniqueIndexOnFirst) {
            korvanta::IndexSchema index;
            index.unique = true;
            korvanta::IndexKey first;
            first.column = c.columns[0].name;
            index.keys.push_back(first);
            table.indexes.push_back(index);
        }
        std::vector<std::string> key;
        for (const korvanta::OrderColumn& k : korvanta::OrderKey(table, c.textInByteOrder))
            key.push_back(k.name);
        EXPECT_EQ(key, c.key) << c.columns[0].name << " " << c.primaryKey.size();
    }
}

// A cut copy goes on after its last key's values: a text as the source's string, an integer
// only as a whole number, anything else refused rather than read as a condition.
TEST(KeyLiterals, OnlyWholeNumbersAndStringsGoIntoTheCondition) {
    const korvanta::PostgreSQLDialect pg;
    struct Case {
        bool text;
        std::string last;
        std::optional<std::string> literal;  // nullopt: refused
    };
    const Case cases[] = {
        {false, "42", "42"},
        {false, "-7", "-7"},
        {false, "-", std::nullopt},
        {false, "", std::nullopt},
        {false, "1e3", std::nullopt},
        {false, "1 OR 1=1", std::nullopt},
        {true, "O'Brien", "'O''Brien'"},
        {true, "", "''"},
    };
    for (const Case& c : cases) {
        std::string problem;
        const auto literals = korvanta::KeyLiterals(pg, {{"k", c.text}}, {c.last}, problem);
        if (!c.literal) {
            EXPECT_FALSE(literals) << c.last;
            EXPECT_NE(problem.find(c.last), std::string::npos) << problem;
            continue;
        }
        ASSERT_TRUE(literals) << c.last << ": " << problem;
        EXPECT_EQ(literals->front(), *c.literal);
    }
}

}  // namespace
