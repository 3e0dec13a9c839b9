#include "adodb/OdbcConnectionString.h"

#include <gtest/gtest.h>

#include "adodb/Error.h"
#include "adodb/OdbcValue.h"

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

// The name reaches the DSN key as it was meant, never between braces (sqliteodbc would keep
// the braces in the name and open a temporary database).
TEST(AdodbConnectionString, DataSourceNamesGoInAsWrittenOrAreRefused) {
    EXPECT_EQ(ToOdbcConnectionString("Data Source='it''s {x}'"), "DSN=it's {x}");
    EXPECT_EQ(ToOdbcConnectionString("Data Source={a}}b+c%41=d}"), "DSN=a}b+c%41=d");
    for (const char* text :
         {"Data Source=\"a;b\"", "Data Source={ x}", "Data Source='x '", "Data Source=\"{x}\""}) {
        EXPECT_THROW(ToOdbcConnectionString(text), Error) << text;
    }
}

// Only a name that the OLE DB form would strip of its quotes goes between double quotes.
TEST(AdodbConnectionString, DataSourceConnectionStringsReadBackAsTheName) {
    for (const char* name : {"Accounts", "a+b%41=c{d}", "'quoted'", "\"double\" x", ""}) {
        const std::string text = DataSourceConnectionString(name);
        EXPECT_EQ(ToOdbcConnectionString(text), *name == '\0' ? "" : std::string("DSN=") + name)
            << text;
    }
    EXPECT_EQ(DataSourceConnectionString("Accounts"), "Data Source=Accounts");
}

TEST(AdodbConnectionString, OleDbUserAndPasswordBecomeOdbcKeys) {
    EXPECT_EQ(ToOdbcConnectionString("Data Source=sa;User ID=dev+ro;Password=\"p;w=d\";Other=1"),
              "DSN=sa;UID=dev+ro;PWD={p;w=d};Other=1");
    EXPECT_EQ(ToOdbcConnectionString("Data Source=sa;User ID={a;b};Other='{x}'"),
              "DSN=sa;UID={a;b};Other={{x}}}");
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

// One row per kind of key and character, as unixODBC, psqlODBC and sqliteodbc read them:
// the written form, or the start of the refusal's message.
TEST(AdodbConnectionString, ValuesGoInAsTheirKeyReadsThem) {
    enum Kind { kPlain, kPassword, kDsn };
    struct Row {
        Kind kind;
        std::string typed;
        std::string written;
        std::string refusal;  // the start of the message, when refused
    };
    const std::string nul("a\0b", 3);
    const Row rows[] = {
        {kPlain, "a+b", "a+b", ""},
        {kPlain, "a%41", "a%41", ""},
        {kPlain, "k=v", "k=v", ""},
        {kPlain, "a{b}", "a{b}", ""},
        {kPlain, " padded ", " padded ", ""},
        {kPlain, "a;b", "", "The box cannot be passed to the ODBC driver: it contains \";\"."},
        {kPlain, "{x}", "", "The box cannot be passed to the ODBC driver: it starts with \"{\"."},
        {kPlain, nul, "", "The box cannot be passed to the ODBC driver: it contains a null"},
        {kPlain, std::string(10, 'x'), "",
         "The box cannot be passed to the ODBC driver: it is "
         "longer than 9 bytes."},
        {kPlain, std::string(9, 'x'), std::string(9, 'x'), ""},
        {kPassword, "a+b", "{a+b}", ""},
        {kPassword, "a%41", "{a%41}", ""},
        {kPassword, "a;b}", "{a;b}}}", ""},
        {kPassword, "{x", "{{x}", ""},
        {kPassword, "k=v", "k=v", ""},
        {kPassword, "a{b}", "a{b}", ""},
        {kPassword, " padded ", " padded ", ""},
        {kPassword, nul, "", "The password cannot be passed to the ODBC driver: it contains a"},
        {kDsn, "a+b%41=c{d}", "a+b%41=c{d}", ""},
        {kDsn, "My Source", "My Source", ""},
        {kDsn, "a;b", "",
         "The data source name cannot be passed to the ODBC driver: it contains "
         "\";\"."},
        {kDsn, "{x}", "",
         "The data source name cannot be passed to the ODBC driver: it starts "
         "with \"{\"."},
        {kDsn, " x", "",
         "The data source name cannot be passed to the ODBC driver: it starts "
         "with a blank."},
        {kDsn, "x\t", "",
         "The data source name cannot be passed to the ODBC driver: it ends "
         "with a blank."},
        {kDsn, std::string(33, 'x'), "",
         "The data source name cannot be passed to the ODBC "
         "driver: it is longer than 32 bytes."},
        {kDsn, std::string(32, 'x'), std::string(32, 'x'), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        const auto write = [&row] {
            if (row.kind == kPlain)
                return OdbcPlainValue(row.typed, "box", 9);
            if (row.kind == kPassword)
                return OdbcPassword(row.typed);
            return OdbcDataSourceName(row.typed);
        };
        if (row.refusal.empty()) {
            EXPECT_EQ(write(), row.written);
            continue;
        }
        try {
            write();
            ADD_FAILURE() << "not refused";
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()).rfind(row.refusal, 0), 0u) << error.what();
        }
    }
}

}  // namespace
}  // namespace adodb::detail
