#include <gtest/gtest.h>

#include "adodb/Error.h"
#include "engine/connections/ConnectionString.h"

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

// psqlODBC takes braces off the password only; every other value goes in byte for byte.
TEST(ConnectionString, OnlyAPasswordThatPsqlOdbcWouldDecodeGoesBetweenBraces) {
    ConnectionValues values{"h+st", " 5432", "dev+ro", "a+b=c}", "a+b%41={x} ", "x+y"};
    EXPECT_EQ(PostgreSQLConnectionString(values),
              "Driver={PostgreSQL Unicode};Server=h+st;Port= 5432;Uid=dev+ro;Pwd={a+b=c}}};"
              "Database=a+b%41={x} ");
    EXPECT_EQ(SybaseConnectionString(values), "Data Source=x+y");
}

// A value that its key cannot carry is refused before any connection, naming its box; the
// first such box in the window's order is named.
TEST(ConnectionString, ValuesTheirKeyCannotCarryAreRefusedNamingTheBox) {
    const ConnectionValues good{"localhost", "5432", "u", "p;w", "d", "Accounts"};
    struct Case {
        QString ConnectionValues::*box;
        QString typed;
        std::string message;
    } cases[] = {
        {&ConnectionValues::server, "h;Database=postgres",
         "The server name cannot be passed to the ODBC driver: it contains \";\"."},
        {&ConnectionValues::port, "{5432}",
         "The port cannot be passed to the ODBC driver: it starts with \"{\"."},
        {&ConnectionValues::port, "5432     x",
         "The port cannot be passed to the ODBC driver: it is longer than 9 bytes."},
        {&ConnectionValues::user, "{dev}",
         "The username cannot be passed to the ODBC driver: it starts with \"{\"."},
        {&ConnectionValues::database, "d;x",
         "The database name cannot be passed to the ODBC driver: it contains \";\"."},
        {&ConnectionValues::database, QString(256, 'd'),
         "The database name cannot be passed to the ODBC driver: it is longer than 255 bytes."},
        {&ConnectionValues::dataSourceName, "{Accounts}",
         "The data source name cannot be passed to the ODBC driver: it starts with \"{\"."},
        {&ConnectionValues::dataSourceName, "Accounts ",
         "The data source name cannot be passed to the ODBC driver: it ends with a blank."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        ConnectionValues values = good;
        values.*c.box = c.typed;
        values.database = c.box == &ConnectionValues::database ? c.typed : "d;x";
        const bool sybase = c.box == &ConnectionValues::dataSourceName;
        try {
            sybase ? SybaseConnectionString(values) : PostgreSQLConnectionString(values);
            ADD_FAILURE() << "not refused";
        } catch (const adodb::Error& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
}
