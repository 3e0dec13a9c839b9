#include "adodb/ConnectionString.h"

#include <gtest/gtest.h>

#include "adodb/Error.h"

namespace adodb::detail {
namespace {

TEST(AdodbConnectionString, DataSourceBecomesDsn) {
    EXPECT_EQ(ToOdbcConnectionString("Data Source=MyDsn"), "DSN=MyDsn");
    EXPECT_EQ(ToOdbcConnectionString("data source = My Dsn ;"), "DSN=My Dsn");
}

// unixODBC would take "DSN=" as some installed driver instead of failing.
TEST(AdodbConnectionString, EmptyDataSourceLeavesDsnOut) {
    EXPECT_EQ(ToOdbcConnectionString("Data Source="), "");
    EXPECT_EQ(ToOdbcConnectionString("Data Source= ;User ID=u"), "UID=u");
}

TEST(AdodbConnectionString, DataSourceValuesAreBracedWhenNeeded) {
    EXPECT_EQ(ToOdbcConnectionString("Data Source=\"a;b\""), "DSN={a;b}");
    EXPECT_EQ(ToOdbcConnectionString("Data Source='it''s {x}'"), "DSN={it's {x}}}");
    EXPECT_EQ(ToOdbcConnectionString("Data Source=\" lead\""), "DSN={ lead}");
    // The program braces names the ODBC way.
    EXPECT_EQ(ToOdbcConnectionString("Data Source={a;b}}c}"), "DSN={a;b}}c}");
    EXPECT_EQ(ToOdbcConnectionString("Data Source={ x}"), "DSN={ x}");
}

TEST(AdodbConnectionString, OleDbUserAndPasswordBecomeOdbcKeys) {
    EXPECT_EQ(ToOdbcConnectionString("Data Source=sa;User ID=dba;Password=\"p;w=d\";Other=1"),
              "DSN=sa;UID=dba;PWD={p;w=d};Other=1");
}

TEST(AdodbConnectionString, OtherStringsPassUnchanged) {
    const char* odbc =
        "Driver={PostgreSQL Unicode};Server=h;Port=5432;Uid=u;Pwd={a;b}}c};Database=d";
    EXPECT_EQ(ToOdbcConnectionString(odbc), odbc);
    EXPECT_EQ(ToOdbcConnectionString("DSN=x;Data Source=y"), "DSN=x;Data Source=y");
    EXPECT_EQ(ToOdbcConnectionString(""), "");
}

TEST(AdodbConnectionString, MalformedDataSourceStringsAreRejected) {
    EXPECT_THROW(ToOdbcConnectionString("Data Source=\"open"), Error);
    EXPECT_THROW(ToOdbcConnectionString("Data Source={open"), Error);
    EXPECT_THROW(ToOdbcConnectionString("Data Source=x;garbage"), Error);
    EXPECT_THROW(ToOdbcConnectionString("Data Source=\"x\"y"), Error);
}

TEST(AdodbConnectionString, ClientSideReadsFromPsqlOdbcGoThroughAServerCursor) {
    EXPECT_EQ(ForClientSideReading("Driver={PostgreSQL Unicode};Server=h;Pwd={a;b}"),
              "Driver={PostgreSQL Unicode};Server=h;Pwd={a;b};UseDeclareFetch=1;Fetch=256");
    // The user's own choice stands; other drivers and data sources are left alone.
    EXPECT_EQ(ForClientSideReading("driver={PostgreSQL ANSI};usedeclarefetch=0"),
              "driver={PostgreSQL ANSI};usedeclarefetch=0");
    EXPECT_EQ(ForClientSideReading("DSN=Sales"), "DSN=Sales");
    EXPECT_EQ(ForClientSideReading("Driver={SQLite3};Database=x"), "Driver={SQLite3};Database=x");
}

TEST(AdodbConnectionString, QuoteOdbcValueBracesSpecialCharacters) {
    EXPECT_EQ(QuoteOdbcValue("in side"), "in side");
    EXPECT_EQ(QuoteOdbcValue("a}b}"), "{a}}b}}}");
    for (const char* value : {"a;b", "{x", "k=v", "a+b", "100%", " x", "x "}) {
        EXPECT_EQ(QuoteOdbcValue(value), "{" + std::string(value) + "}");
    }
}

}  // namespace
}  // namespace adodb::detail
