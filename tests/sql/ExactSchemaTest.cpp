// An exact copy's statements as text: the type names each catalog writes read into one
// model, and the statements written for each target. SQL Anywhere runs nowhere here: its
// statements are checked against its documentation's syntax (CREATE TABLE with
// DEFAULT AUTOINCREMENT and BIT NULL, ALTER TABLE ... ALTER ... NOT NULL, ADD PRIMARY
// KEY, CREATE INDEX ... DESC, ADD FOREIGN KEY ... ON DELETE/UPDATE).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/statements/TablePlan.h"
#include "sql/dialect/SchemaText.h"

using namespace korvanta;

namespace {

std::string Word(TypeKind kind) {
    static const char* const kNames[] = {
        "smallint",  "integer",     "bigint",  "numeric", "real", "double",
        "char",      "varchar",     "text",    "binary",  "date", "time",
        "timestamp", "timestamptz", "boolean", "uuid",    "other"};
    return kNames[static_cast<int>(kind)];
}

std::string Described(const ColumnType& t) {
    std::string text = Word(t.kind);
    if (t.length >= 0)
        text += "(" + std::to_string(t.length) + ")";
    if (t.precision >= 0)
        text += "(" + std::to_string(t.precision) +
                (t.scale >= 0 ? "," + std::to_string(t.scale) : "") + ")";
    return text;
}

TEST(SchemaText, TypeNamesOfEachCatalog) {
    struct Case {
        const char* source;  // "pg", "lite", "sa"
        const char* name;
        const char* read;
    };
    const Case cases[] = {
        {"pg", "smallint", "smallint"},
        {"pg", "numeric(12,2)", "numeric(12,2)"},
        {"pg", "numeric", "numeric"},
        {"pg", "double precision", "double"},
        {"pg", "character(5)", "char(5)"},
        {"pg", "character varying(30)", "varchar(30)"},
        {"pg", "character varying", "varchar"},
        {"pg", "timestamp(3) without time zone", "timestamp(3)"},
        {"pg", "timestamp with time zone", "timestamptz"},
        {"pg", "time without time zone", "time"},
        {"pg", "integer[]", "other"},
        {"pg", "jsonb", "other"},
        {"lite", "INTEGER", "bigint"},
        {"lite", "INT4", "integer"},
        {"lite", "int(5)", "bigint"},
        {"lite", "NUMERIC TEXT(12,2)", "numeric(12,2)"},
        {"lite", "DECIMAL(10,3)", "numeric(10,3)"},
        {"lite", "REAL TEXT", "real"},
        {"lite", "REAL", "double"},
        {"lite", "DOUBLE TEXT", "double"},
        {"lite", "NVARCHAR(40)", "varchar(40)"},
        {"lite", "CHAR(5)", "char(5)"},
        {"lite", "", "text"},
        {"lite", "BLOB", "binary"},
        {"lite", "DATETIME", "timestamp"},
        {"lite", "TIMESTAMP(3) WITH TIME ZONE", "timestamptz(3)"},
        {"lite", "BOOLEAN", "boolean"},
        {"lite", "UNSIGNED INTEGER", "bigint"},
        {"sa", "tinyint", "smallint"},
        {"sa", "unsigned int", "bigint"},
        {"sa", "unsigned bigint", "numeric(20,0)"},
        {"sa", "money", "numeric(19,4)"},
        {"sa", "char", "varchar(12)"},
        {"sa", "long varchar", "text"},
        {"sa", "long binary", "binary"},
        {"sa", "bit", "boolean"},
        {"sa", "uniqueidentifier", "uuid"},
        {"sa", "xml", "other"},
    };
    for (const Case& c : cases) {
        const std::string source = c.source;
        const ColumnType type = source == "pg"     ? PostgreSQLType(c.name)
                                : source == "lite" ? SqliteType(c.name)
                                                   : SqlAnywhereType(c.name, 12, 0);
        EXPECT_EQ(Described(type), c.read) << c.source << " " << c.name;
    }
}

TEST(SchemaText, DefaultsOfEachCatalog) {
    struct Case {
        const char* source;
        const char* text;
        ColumnDefault::Kind kind;
        const char* literal;
        bool identity;
    };
    using K = ColumnDefault::Kind;
    const Case cases[] = {
        {"pg", "'n/a'::text", K::kLiteral, "n/a", false},
        {"pg", "'it''s'::character varying", K::kLiteral, "it's", false},
        {"pg", "0", K::kLiteral, "0", false},
        {"pg", "'-1'::integer", K::kLiteral, "-1", false},
        {"pg", "true", K::kLiteral, "true", false},
        {"pg", "now()", K::kCurrentTimestamp, "", false},
        {"pg", "CURRENT_DATE", K::kCurrentDate, "", false},
        {"pg", "nextval('t_id_seq'::regclass)", K::kNone, "", true},
        {"pg", "gen_random_uuid()", K::kOther, "", false},
        {"lite", "'n/a'", K::kLiteral, "n/a", false},
        {"lite", "CURRENT_TIMESTAMP", K::kCurrentTimestamp, "", false},
        {"lite", "NULL", K::kNone, "", false},
        {"lite", "(1 + 1)", K::kOther, "", false},
        {"sa", "autoincrement", K::kNone, "", true},
        {"sa", "current timestamp", K::kCurrentTimestamp, "", false},
        {"sa", "'x'", K::kLiteral, "x", false},
    };
    for (const Case& c : cases) {
        bool identity = false;
        const std::string source = c.source;
        const ColumnDefault d = source == "pg"     ? PostgreSQLDefault(c.text, identity)
                                : source == "lite" ? SqliteDefault(c.text)
                                                   : SqlAnywhereDefault(c.text, identity);
        EXPECT_EQ(d.kind, c.kind) << c.text;
        EXPECT_EQ(d.literal, c.literal) << c.text;
        EXPECT_EQ(identity, c.identity) << c.text;
    }
}

// One table with what SQL Anywhere takes and what it does not, and the statements an
// exact copy writes for it there.
TEST(ExactSchemaPlan, SqlAnywhereStatements) {
    TableSchema t;
    const auto column = [&](const char* name, ColumnType type, bool notNull = false) {
        ColumnSchema c;
        c.name = name;
        c.type = std::move(type);
        c.notNull = notNull;
        t.columns.push_back(c);
        return &t.columns.back();
    };
    column("id", PostgreSQLType("bigint"), true)->identity = true;
    column("code", PostgreSQLType("character varying(30)"), true);
    column("amount", PostgreSQLType("numeric(12,2)"))->defaultValue = SqliteDefault("0");
    column("free", PostgreSQLType("numeric"));
    column("flag", PostgreSQLType("boolean"))->defaultValue = SqliteDefault("true");
    column("note", PostgreSQLType("text"))->defaultValue = SqliteDefault("'it''s \\\\ here'");
    column("created", PostgreSQLType("timestamp without time zone"))->defaultValue =
        SqliteDefault("CURRENT_TIMESTAMP");
    column("raw", PostgreSQLType("bytea"));
    column("tags", PostgreSQLType("text[]"));
    t.primaryKey = {"id"};
    t.indexes.push_back({"t_code", {{"code", false}}, true, true, "", false});
    t.indexes.push_back({"t_amount", {{"amount", true}, {"id", false}}, false, false, "", false});
    t.indexes.push_back({"t_partial", {{"code", false}}, true, false, "(amount > 0)", false});
    t.foreignKeys.push_back({"t_parent",
                             {"id"},
                             "parent",
                             {"pid"},
                             ReferentialAction::kCascade,
                             ReferentialAction::kSetNull});
    const TablePlan plan =
        PlanExactTable(t, "orders", Dialect::kSqlAnywhere, StringLiterals::kBackslashEscapes,
                       [](std::string_view) { return true; });
    EXPECT_EQ(plan.createTable,
              "CREATE TABLE \"orders\"(\"id\" BIGINT DEFAULT AUTOINCREMENT, \"code\" VARCHAR(30 "
              "CHAR), \"amount\" NUMERIC(12,2) DEFAULT 0, \"free\" LONG VARCHAR, \"flag\" BIT "
              "NULL DEFAULT 1, \"note\" LONG VARCHAR DEFAULT 'it''s \\\\\\\\ here', \"created\" "
              "TIMESTAMP DEFAULT CURRENT TIMESTAMP, \"raw\" LONG BINARY, \"tags\" LONG VARCHAR)");
    std::vector<std::string> after;
    for (const SchemaStep& step : plan.afterRows)
        after.push_back(step.statement);
    EXPECT_EQ(after, (std::vector<std::string>{
                         "ALTER TABLE \"orders\" ALTER \"code\" NOT NULL",
                         "ALTER TABLE \"orders\" ADD PRIMARY KEY (\"id\")",
                         "ALTER TABLE \"orders\" ADD UNIQUE (\"code\")",
                         "CREATE INDEX \"t_amount\" ON \"orders\" (\"amount\" DESC, \"id\")",
                     }));
    ASSERT_EQ(plan.foreignKeys.size(), 1u);
    EXPECT_EQ(plan.foreignKeys[0].statement,
              "ALTER TABLE \"orders\" ADD FOREIGN KEY (\"id\") REFERENCES \"parent\" (\"pid\") ON "
              "DELETE CASCADE ON UPDATE SET NULL");
    EXPECT_TRUE(plan.sequences.empty()) << "AUTOINCREMENT goes on after the largest by itself";
    const std::vector<std::string> expectedNotCarried = {
        "column \"free\" (numeric): a number of any precision, its values as text",
        "column \"tags\" (text[]): no counterpart, its values as text",
        "unique index t_partial (code) where (amount > 0): SQL Anywhere has no partial indexes",
    };
    EXPECT_EQ(plan.notCarried, expectedNotCarried);
    EXPECT_EQ(plan.binary,
              (std::vector<bool>{false, false, false, false, false, false, false, true, false}));
}

}  // namespace
