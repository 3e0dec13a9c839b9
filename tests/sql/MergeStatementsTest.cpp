// A merge's statements reach the session's own staging table and never a table of the
// database of the same name; a table that a staging table would hide takes no merge.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/dialect/SqlAnywhereDialect.h"
#include "sql/dialect/SqliteDialect.h"
#include "sql/statements/MergeStatements.h"

namespace {

TEST(MergeStatements, TheStagingTableIsTheSessionsOwn) {
    struct Case {
        std::shared_ptr<const korvanta::Dialect> dialect;
        const char* staging;  // how every statement after the first names it
    };
    const Case cases[] = {
        {std::make_shared<korvanta::PostgreSQLDialect>(), "pg_temp.korvanta_merge"},
        {std::make_shared<korvanta::SqliteDialect>(), "temp.korvanta_merge"},
    };
    for (const Case& c : cases) {
        const korvanta::MergePlan plan =
            korvanta::PlanMerge(*c.dialect, "\"orders\"", {"id", "v"}, {"id"});
        SCOPED_TRACE(c.dialect->Name());
        EXPECT_EQ(plan.staging, c.staging);
        for (const std::string* statement :
             {&plan.dropStaging, &plan.count, &plan.upsert, &plan.clear}) {
            EXPECT_NE(statement->find(c.staging), std::string::npos) << *statement;
        }
        EXPECT_NE(plan.upsert.find("\"orders\""), std::string::npos) << plan.upsert;
    }
    struct Name {
        const char* table;
        bool hidden;
    };
    for (const Name n :
         {Name{"korvanta_merge", true}, Name{"KORVANTA_KEYS", true}, Name{"Korvanta_Merge", true},
          Name{"korvanta_merged", false}, Name{"orders", false}}) {
        EXPECT_EQ(korvanta::IsStagingName(n.table), n.hidden) << n.table;
    }
}

}  // namespace
