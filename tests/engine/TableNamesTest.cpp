// How a target's table names are found again, letter case ignored.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/tables/TableNames.h"

namespace {

// The spelling used is the one listed last; dropping a table forgets that spelling only,
// so PostgreSQL's "Orders" stays findable after "orders" is dropped; names outside ASCII
// compare in lower case too.
TEST(CaseBlindNames, FindTheLastSpellingAndForgetOnlyTheOneDropped) {
    korvanta::CaseBlindNames names({"Orders", "items", "ÄRGER"});
    names.Add("orders");
    EXPECT_EQ(names.Spelling("ORDERS"), std::optional<std::string>("orders"));
    EXPECT_EQ(names.Spelling("ärger"), std::optional<std::string>("ÄRGER"));
    EXPECT_TRUE(names.Contains("Items"));
    EXPECT_FALSE(names.Contains("item"));

    names.Remove("orders");
    EXPECT_EQ(names.Spelling("orders"), std::optional<std::string>("Orders"));
    names.Remove("ORDERS");  // no entry is spelled so
    EXPECT_TRUE(names.Contains("orders"));
    names.Remove("Orders");
    EXPECT_FALSE(names.Contains("orders"));
    EXPECT_EQ(names.Spelling("orders"), std::nullopt);
}

}  // namespace
