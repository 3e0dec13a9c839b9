// The plan of a table as statements: SQL Anywhere runs nowhere here, so its statements are
// checked against its documentation's syntax (CREATE TABLE with DEFAULT AUTOINCREMENT and
// BIT NULL, ALTER TABLE ... ALTER ... NOT NULL, ADD PRIMARY KEY, CREATE INDEX ... DESC, ADD
// FOREIGN KEY ... ON DELETE/UPDATE).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/dialect/SqlAnywhereDialect.h"
#include "sql/dialect/SqliteDialect.h"
#include "sql/statements/TablePlan.h"

using namespace korvanta;

namespace {

// One table with what SQL Anywhere takes and what it does not, and the statements an
// exact copy writes for it there.
TEST(TablePlan, SqlAnywhereStatements) {
    TableSchema t;
    const auto column = [&](const char* name, ColumnType type, bool notNull = false) {
        ColumnSchema c;
        c.name = name;
        c.type = std::move(type);
        c.notNull = notNull;
        t.columns.push_back(c);
        return &t.columns.back();
    };
    column("id", PostgreSQLDialect::ReadType("bigint"), true)->identity = true;
    column("code", PostgreSQLDialect::ReadType("character varying(30)"), true);
    column("amount", PostgreSQLDialect::ReadType("numeric(12,2)"))->defaultValue =
        SqliteDialect::ReadDefault("0");
    column("free", PostgreSQLDialect::ReadType("numeric"));
    column("flag", PostgreSQLDialect::ReadType("boolean"))->defaultValue =
        SqliteDialect::ReadDefault("true");
    column("note", PostgreSQLDialect::ReadType("text"))->defaultValue =
        SqliteDialect::ReadDefault("'it''s \\\\ here'");
    column("created", PostgreSQLDialect::ReadType("timestamp without time zone"))->defaultValue =
        SqliteDialect::ReadDefault("CURRENT_TIMESTAMP");
    column("raw", PostgreSQLDialect::ReadType("bytea"));
    column("tags", PostgreSQLDialect::ReadType("text[]"));
    t.primaryKey = {"id"};
    t.indexes.push_back({"t_code", {{"code", false}}, true, true, "", false, false});
    t.indexes.push_back(
        {"t_amount", {{"amount", true}, {"id", false}}, false, false, "", false, false});
    t.indexes.push_back(
        {"t_partial", {{"code", false}}, true, false, "(amount > 0)", false, false});
    t.foreignKeys.push_back({"t_parent",
                             {"id"},
                             "parent",
                             {"pid"},
                             ReferentialAction::kCascade,
                             ReferentialAction::kSetNull});
    const TablePlan plan =
        PlanExactTable(t, "orders", SqlAnywhereDialect(), [](std::string_view) { return true; });
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
