// The statements of delete and rename: the plain forms, and names holding double quotes.
#include <gtest/gtest.h>

#include "sql/statements/TableStatements.h"

using korvanta::DropTableStatement;
using korvanta::RenameTableStatement;
using korvanta::Side;

namespace {

TEST(TableStatements, DropQuotesTheNameAndDoublesInnerQuotes) {
    EXPECT_EQ(DropTableStatement("Customers"), R"(DROP TABLE "Customers")");
    EXPECT_EQ(DropTableStatement("my table"), R"(DROP TABLE "my table")");
    EXPECT_EQ(DropTableStatement(R"(a"b)"), R"(DROP TABLE "a""b")");
    EXPECT_EQ(DropTableStatement(R"(x" ; DROP TABLE "y)"), R"(DROP TABLE "x"" ; DROP TABLE ""y")");
    EXPECT_EQ(DropTableStatement("Größe"),
              "DROP TABLE \"Gr\xC3\xB6\xC3\x9F"
              "e\"");
}

struct RenameCase {
    Side database;
    const char* oldName;
    const char* newName;
    const char* expected;
};

class RenameStatement : public testing::TestWithParam<RenameCase> {};

TEST_P(RenameStatement, FollowsTheDialect) {
    const RenameCase& c = GetParam();
    EXPECT_EQ(RenameTableStatement(c.database, c.oldName, c.newName), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RenameStatement,
                         testing::Values(RenameCase{Side::SqlAnywhere, "Orders", "Orders2",
                                                    R"(ALTER TABLE "Orders" RENAME "Orders2";)"},
                                         RenameCase{Side::PostgreSQL, "Orders", "Orders2",
                                                    R"(ALTER TABLE "Orders" RENAME TO "Orders2";)"},
                                         RenameCase{Side::SqlAnywhere, R"(a"b)", R"(c"d)",
                                                    R"(ALTER TABLE "a""b" RENAME "c""d";)"},
                                         RenameCase{Side::PostgreSQL, R"(a"b)", R"("")",
                                                    R"(ALTER TABLE "a""b" RENAME TO """""";)"},
                                         // The answer is used as typed, blanks included.
                                         RenameCase{Side::PostgreSQL, "t", " t ",
                                                    R"(ALTER TABLE "t" RENAME TO " t ";)"}));

}  // namespace
