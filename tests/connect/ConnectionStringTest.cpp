#include <gtest/gtest.h>

#include "adodb/ConnectionString.h"
#include "connect/ConnectionString.h"

using namespace korvanta;

TEST(ConnectionString, OrdinaryValuesGoInExactlyAsTyped) {
    ConnectionValues values{"db.example.org", "5433", "alice", "s3cret", "sales", "Accounts"};
    EXPECT_EQ(PostgreSQLConnectionString(values),
              "Driver={PostgreSQL Unicode};Server=db.example.org;Port=5433;Uid=alice;Pwd=s3cret;"
              "Database=sales");
    EXPECT_EQ(SybaseConnectionString(values), "Data Source=Accounts");
    // A port made of letters and a blank inside a value are not touched.
    values.port = "abc";
    values.database = "my sales";
    EXPECT_EQ(PostgreSQLConnectionString(values),
              "Driver={PostgreSQL Unicode};Server=db.example.org;Port=abc;Uid=alice;Pwd=s3cret;"
              "Database=my sales");
}

TEST(ConnectionString, EmptyValuesLeaveTheirKeysEmpty) {
    ConnectionValues values{"localhost", "5432", "", "", "", ""};
    EXPECT_EQ(PostgreSQLConnectionString(values),
              "Driver={PostgreSQL Unicode};Server=localhost;Port=5432;Uid=;Pwd=;Database=");
    EXPECT_EQ(SybaseConnectionString(values), "Data Source=");
}

TEST(ConnectionString, ValuesThatCouldSmuggleKeysGoBetweenBraces) {
    struct Case {
        const char* typed;
        const char* written;
    } cases[] = {
        {"a;b", "{a;b}"},
        {"a;b}c", "{a;b}}c}"},
        {"x;Database=postgres", "{x;Database=postgres}"},
        {"a+b%41", "{a+b%41}"},
        {"{braced}", "{{braced}}}"},
        {"k=v", "{k=v}"},
        {" padded ", "{ padded }"},
        {"in side", "in side"},
        {"ümlaut", "ümlaut"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(adodb::QuoteOdbcValue(c.typed), c.written) << c.typed;
    }
    ConnectionValues values{"localhost", "5432", "u", "p;w", "d", "My;DSN"};
    EXPECT_EQ(PostgreSQLConnectionString(values),
              "Driver={PostgreSQL Unicode};Server=localhost;Port=5432;Uid=u;Pwd={p;w};Database=d");
    EXPECT_EQ(SybaseConnectionString(values), "Data Source={My;DSN}");
}
