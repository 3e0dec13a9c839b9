#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/dialect/Dialect.h"
#include "sql/statements/NameCheck.h"

namespace korvanta {
namespace {

// Each database's own rules for names: which it cuts, which it refuses, which it takes for
// one name.
TEST(NameRules, EachDialectStoresComparesAndRenamesNamesItsOwnWay) {
    const std::string long64(64, 'a');
    const std::string euros = std::string(62, 'a') + "\xE2\x82\xAC";  // 65 bytes, a 3-byte last
    const std::string long129(129, 'b');
    struct Case {
        const char* dialect;
        std::string name;
        std::string stored;  // empty: refused
    };
    const std::vector<Case> cases = {
        {"postgresql", "Orders", "Orders"},
        {"postgresql", long64, std::string(63, 'a')},
        {"postgresql", euros, std::string(62, 'a')},  // never half a character
        {"postgresql", long129, std::string(63, 'b')},
        {"sqlanywhere", long64, long64},
        {"sqlanywhere", long129, ""},
        {"sqlite", long129, long129},
        {"odbc", long129, long129},
    };
    for (const Case& c : cases) {
        std::string why;
        const auto stored = DialectNamed(c.dialect)->StoredName(c.name, why);
        if (c.stored.empty()) {
            EXPECT_FALSE(stored) << c.dialect << " " << c.name.size();
            EXPECT_NE(why.find("129"), std::string::npos) << why;
        } else {
            ASSERT_TRUE(stored) << c.dialect << " " << why;
            EXPECT_EQ(*stored, c.stored) << c.dialect << " " << c.name.size();
        }
    }
    EXPECT_FALSE(DialectNamed("postgresql")->SameName("Orders", "orders"));
    EXPECT_TRUE(DialectNamed("sqlanywhere")->SameName("Orders", "ORDERS"));
    EXPECT_TRUE(DialectNamed("sqlite")->SameName("Orders", "orders"));
    EXPECT_FALSE(DialectNamed("sqlite")->SameName("Orders", "Order"));
    EXPECT_EQ(DialectNamed("postgresql")->RenameTableStatement("a", "b"),
              R"(ALTER TABLE "a" RENAME TO "b";)");
    EXPECT_EQ(DialectNamed("sqlanywhere")->RenameTableStatement("a", "b"),
              R"(ALTER TABLE "a" RENAME "b";)");
}

// What a refusal means, by SQLSTATE and native code: a lock to wait out, or rows at fault.
TEST(NameRules, EachDialectKnowsItsLockConflictsAndIntegrityViolations) {
    struct Case {
        const char* dialect;
        const char* state;
        int native;
        bool lock;
        bool integrity;
    };
    const std::vector<Case> cases = {
        {"postgresql", "55P03", 0, true, false},
        {"postgresql", "40P01", 0, true, false},
        {"postgresql", "40001", 0, true, false},
        {"postgresql", "40002", 0, false, false},
        {"postgresql", "23505", 0, false, true},
        {"postgresql", "42830", 0, false, false},
        {"postgresql", "HY000", 5, false, false},
        {"sqlanywhere", "42W18", -210, true, false},
        {"sqlanywhere", "HY000", -1175, true, false},
        {"sqlanywhere", "23W01", -193, false, true},
        {"sqlanywhere", "HY000", 5, false, false},
        {"sqlite", "HY000", 5, true, true},
        {"sqlite", "HY000", 19, false, true},
        {"sqlite", "42000", 1, false, false},
        {"odbc", "40001", 0, true, false},
        {"odbc", "HY000", 5, false, false},
    };
    for (const Case& c : cases) {
        const auto dialect = DialectNamed(c.dialect);
        EXPECT_EQ(dialect->LockConflict(c.state, c.native), c.lock) << c.dialect << " " << c.state;
        EXPECT_EQ(dialect->IntegrityViolation(c.state), c.integrity) << c.dialect << " " << c.state;
    }
}

// A table's columns checked before it is made: a cut name named, two names the target takes
// for one, or one it refuses, keep the table from being made.
TEST(NameRules, ColumnNamesTheTargetWouldCutOrMergeAreFoundFirst) {
    const std::string a65(65, 'a'), a64(64, 'a'), b200(200, 'b');
    struct Case {
        const char* dialect;
        std::vector<std::string> columns;
        std::size_t notes, problems;
    };
    const std::vector<Case> cases = {
        {"postgresql", {"id", "Id"}, 0, 0},  // quoted names keep their case there
        {"postgresql", {"id", a65}, 1, 0},   {"postgresql", {a65, a64}, 2, 1},
        {"sqlanywhere", {"id", "ID"}, 0, 1}, {"sqlanywhere", {"id", b200}, 0, 1},
        {"sqlite", {"Name", "name"}, 0, 1},  {"sqlite", {"id", b200}, 0, 0},
    };
    for (const Case& c : cases) {
        const NameCheck check = CheckColumnNames(c.columns, *DialectNamed(c.dialect));
        EXPECT_EQ(check.notes.size(), c.notes) << c.dialect << " " << c.columns.back().size();
        EXPECT_EQ(check.problems.size(), c.problems) << c.dialect << " " << c.columns.back();
    }
}

}  // namespace
}  // namespace korvanta
