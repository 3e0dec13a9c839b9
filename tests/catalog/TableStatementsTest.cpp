// The statements of delete and rename: the plain forms, and names holding double quotes.
#include <gtest/gtest.h>

#include "catalog/TableStatements.h"

using korvanta::Database;
using korvanta::DropTableStatement;
using korvanta::RenameTableStatement;

namespace {

TEST(TableStatements, DropQuotesTheNameAndDoublesInnerQuotes) {
    EXPECT_EQ(DropTableStatement(QStringLiteral("Customers")), R"(DROP TABLE "Customers")");
    EXPECT_EQ(DropTableStatement(QStringLiteral("my table")), R"(DROP TABLE "my table")");
    EXPECT_EQ(DropTableStatement(QStringLiteral(R"(a"b)")), R"(DROP TABLE "a""b")");
    EXPECT_EQ(DropTableStatement(QStringLiteral(R"(x" ; DROP TABLE "y)")),
              R"(DROP TABLE "x"" ; DROP TABLE ""y")");
    EXPECT_EQ(DropTableStatement(QStringLiteral("Größe")),
              "DROP TABLE \"Gr\xC3\xB6\xC3\x9F"
              "e\"");
}

struct RenameCase {
    Database database;
    const char* oldName;
    const char* newName;
    const char* expected;
};

class RenameStatement : public testing::TestWithParam<RenameCase> {};

TEST_P(RenameStatement, FollowsTheDialect) {
    const RenameCase& c = GetParam();
    EXPECT_EQ(RenameTableStatement(c.database, QString::fromUtf8(c.oldName),
                                   QString::fromUtf8(c.newName)),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RenameStatement,
                         testing::Values(RenameCase{Database::SqlAnywhere, "Orders", "Orders2",
                                                    R"(ALTER TABLE "Orders" RENAME "Orders2";)"},
                                         RenameCase{Database::PostgreSQL, "Orders", "Orders2",
                                                    R"(ALTER TABLE "Orders" RENAME TO "Orders2";)"},
                                         RenameCase{Database::SqlAnywhere, R"(a"b)", R"(c"d)",
                                                    R"(ALTER TABLE "a""b" RENAME "c""d";)"},
                                         RenameCase{Database::PostgreSQL, R"(a"b)", R"("")",
                                                    R"(ALTER TABLE "a""b" RENAME TO """""";)"},
                                         // The answer is used as typed, blanks included.
                                         RenameCase{Database::PostgreSQL, "t", " t ",
                                                    R"(ALTER TABLE "t" RENAME TO " t ";)"}));

}  // namespace
