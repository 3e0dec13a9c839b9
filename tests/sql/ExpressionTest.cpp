// Expressions read from one database's text and written in each dialect: the casts
// PostgreSQL's catalog adds, its ~~ and = ANY (ARRAY[...]), SQLite's LIKE that ignores case
// and its GLOB, a truth-valued column as a condition, the common functions; and what has
// no counterpart, with the reason.
#include <gtest/gtest.h>

#include <string>

#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/dialect/SqlAnywhereDialect.h"
#include "sql/dialect/SqliteDialect.h"

using namespace korvanta;

namespace {

// The table the expressions are over.
const ColumnType* TypeOf(std::string_view column) {
    static const ColumnType kText = PostgreSQLDialect::ReadType("text");
    static const ColumnType kVarChar = PostgreSQLDialect::ReadType("character varying(10)");
    static const ColumnType kInteger = PostgreSQLDialect::ReadType("integer");
    static const ColumnType kBoolean = PostgreSQLDialect::ReadType("boolean");
    static const ColumnType kDate = PostgreSQLDialect::ReadType("date");
    if (column == "email" || column == "name")
        return &kText;
    if (column == "status")
        return &kVarChar;
    if (column == "n" || column == "year")
        return &kInteger;
    if (column == "deleted")
        return &kBoolean;
    if (column == "day")
        return &kDate;
    return nullptr;
}

TEST(Expression, EachFormInEachDialect) {
    const PostgreSQLDialect pg;
    const SqliteDialect lite;
    const SqlAnywhereDialect sa;
    struct Row {
        const Dialect* source;
        const char* text;
        bool condition;
        // Each target's text; "" where it has no counterpart.
        const char *pg, *lite, *sa;
    };
    const Row rows[] = {
        // PostgreSQL's catalog text: casts that change nothing go.
        {&pg, "((status)::text = 'open'::text)", true, "\"status\" = 'open'", "\"status\" = 'open'",
         "\"status\" = 'open'"},
        {&pg,
         "((status)::text = ANY ((ARRAY['a'::character varying, 'b'::character varying])::text[]))",
         true, "\"status\" IN ('a', 'b')", "\"status\" IN ('a', 'b')", "\"status\" IN ('a', 'b')"},
        {&pg, "((n <> ALL (ARRAY[1, 2])) AND (n IS NOT NULL))", true,
         "(\"n\" NOT IN (1, 2)) AND (\"n\" IS NOT NULL)",
         "(\"n\" NOT IN (1, 2)) AND (\"n\" IS NOT NULL)",
         "(\"n\" NOT IN (1, 2)) AND (\"n\" IS NOT NULL)"},
        {&pg, "((VALUE >= 1901) AND (VALUE <= 2155))", true, "", "", ""},  // no such column
        {&pg, "(NOT deleted)", true, "NOT \"deleted\"", "NOT \"deleted\"", "NOT (\"deleted\" = 1)"},
        {&pg, "deleted", true, "\"deleted\"", "\"deleted\"", "\"deleted\" = 1"},
        {&pg, "((name)::text ~~ 'a%'::text)", true, "\"name\" LIKE 'a%'", "\"name\" GLOB 'a*'",
         "\"name\" LIKE 'a%'"},
        {&pg, "((name)::text ~~* 'a_'::text)", true, "\"name\" ILIKE 'a_'", "\"name\" LIKE 'a_'",
         "lower(\"name\") LIKE lower('a_')"},
        {&pg, "(name !~~ 'a\\%'::text)", true, "", "", ""},  // escapes read differently
        {&pg, "(day > '2020-01-01'::date)", true, "\"day\" > CAST('2020-01-01' AS date)",
         "\"day\" > '2020-01-01'", "\"day\" > CAST('2020-01-01' AS DATE)"},
        {&pg, "(length(btrim(name)) > 0)", true, "length(trim(\"name\")) > 0",
         "length(trim(\"name\")) > 0", "length(trim(\"name\")) > 0"},
        {&pg, "((n % 2) = 0)", true, "(\"n\" % 2) = 0", "(\"n\" % 2) = 0", "(\"n\" % 2) = 0"},
        {&pg, "(n BETWEEN 1 AND (10 - 1))", true, "\"n\" BETWEEN 1 AND (10 - 1)",
         "\"n\" BETWEEN 1 AND (10 - 1)", "\"n\" BETWEEN 1 AND (10 - 1)"},
        {&pg, "(name ~ '^a'::text)", true, "", "", ""},  // a regular expression
        {&pg, "lower(email)", false, "lower(\"email\")", "lower(\"email\")", "lower(\"email\")"},
        {&pg, "COALESCE(email, ''::text)", false, "coalesce(\"email\", '')",
         "coalesce(\"email\", '')", "coalesce(\"email\", '')"},
        {&pg, "\"substring\"(name, 1, 3)", false, "substr(\"name\", 1, 3)",
         "substr(\"name\", 1, 3)", "substr(\"name\", 1, 3)"},
        {&pg, "md5(name)", false, "", "", ""},
        {&pg, "(day <= CURRENT_DATE)", true, "\"day\" <= CURRENT_DATE",
         "\"day\" <= (date('now', 'localtime'))", "\"day\" <= CURRENT DATE"},
        {&pg, "E'a\\nb'", false, "E'a\\nb'", "'a' || char(10) || 'b'", "'a\\nb'"},
        // SQLite's own text: names in any case and any quotes, LIKE that ignores case.
        {&lite, "[Email] LIKE '%@%'", true, "\"email\" ILIKE '%@%'", "\"email\" LIKE '%@%'",
         "lower(\"email\") LIKE lower('%@%')"},
        {&lite, "deleted IN (0, 1)", true, "\"deleted\" IN (false, true)", "\"deleted\" IN (0, 1)",
         "\"deleted\" IN (0, 1)"},
        {&lite, "`status` GLOB 'A?*'", true, "\"status\" LIKE 'A_%'", "\"status\" GLOB 'A?*'",
         "\"status\" LIKE 'A_%'"},
        {&lite, "CAST(n AS TEXT) != ''", true, "CAST(\"n\" AS text) <> ''",
         "CAST(\"n\" AS TEXT) <> ''", "CAST(\"n\" AS LONG VARCHAR) <> ''"},
        {&lite, "n == 1 OR name IS NULL", true, "(\"n\" = 1) OR (\"name\" IS NULL)",
         "(\"n\" = 1) OR (\"name\" IS NULL)", "(\"n\" = 1) OR (\"name\" IS NULL)"},
        {&lite, "typeof(n) = 'integer'", true, "", "", ""},
        {&lite, "CASE WHEN n > 0 THEN 1 END", true, "", "", ""},
        // SQL Anywhere's strings read backslash escapes.
        {&sa, "name <> 'a\\\\b'", true, "\"name\" <> 'a\\b'", "\"name\" <> 'a\\b'",
         "\"name\" <> 'a\\\\b'"},
    };
    for (const Row& row : rows) {
        const SourceExpression read = row.source->Read(row.text);
        const struct {
            const Dialect* dialect;
            const char* expected;
        } targets[] = {{&pg, row.pg}, {&lite, row.lite}, {&sa, row.sa}};
        for (const auto& [dialect, expected] : targets) {
            std::string why;
            std::string written;
            if (!read.tree) {
                why = read.unread;
            } else {
                Expr tree = *read.tree;
                // Names as the table has them, whatever their case.
                const bool known = RenameColumns(
                    tree,
                    [](std::string_view name) -> std::optional<std::string> {
                        std::string lower(name);
                        for (char& c : lower)
                            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                        return TypeOf(lower) ? std::optional<std::string>(lower) : std::nullopt;
                    },
                    why);
                if (known)
                    written = dialect->Expression(tree, TypeOf, row.condition, why);
            }
            EXPECT_EQ(written, expected) << row.text << " in " << dialect->Name() << ": " << why;
            EXPECT_NE(written.empty(), why.empty()) << row.text << ": nothing written says why";
        }
    }
}

}  // namespace
