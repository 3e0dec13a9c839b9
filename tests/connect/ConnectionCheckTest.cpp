#include <gtest/gtest.h>

#include "connect/PostgreSQL.h"
#include "connect/Sybase.h"
#include "support/TestDatabases.h"

using namespace korvanta;

namespace {

ConnectionValues TestValues() {
    return testdb::connectionValues();
}

}  // namespace

TEST(ConnectionChecks, TrueForTheTestDatabasesFalseForAnythingWrong) {
    ConnectionValues values = TestValues();
    EXPECT_TRUE(CanConnectPostgreSQL(values));
    EXPECT_TRUE(CanConnectSybase(values));

    ConnectionValues wrong = values;
    wrong.password = "not the password";
    EXPECT_FALSE(CanConnectPostgreSQL(wrong));
    wrong = values;
    wrong.port = "letters";
    EXPECT_FALSE(CanConnectPostgreSQL(wrong));
    wrong = values;
    wrong.database = "no_such_database";
    EXPECT_FALSE(CanConnectPostgreSQL(wrong));
    wrong = values;
    wrong.dataSourceName = "";
    EXPECT_FALSE(CanConnectSybase(wrong));
    wrong.dataSourceName = "NoSuchDataSource";
    EXPECT_FALSE(CanConnectSybase(wrong));
}

TEST(ConnectionChecks, PasswordsWithConnectionStringCharactersConnect) {
    const ConnectionValues admin = TestValues();
    const char* passwords[] = {"semi;colon", "close}brace",     "plus+sign",
                               "per%41cent", "all;}+%={ mixed", " blank at both ends "};
    int n = 0;
    for (const char* password : passwords) {
        const std::string role = testdb::uniqueName("pw_role") + std::to_string(++n);
        std::string literal;
        for (const char* p = password; *p != '\0'; ++p) {
            literal += *p;
            if (*p == '\'')
                literal += '\'';
        }
        testdb::psql("CREATE ROLE " + role + " LOGIN PASSWORD '" + literal + "'");
        ConnectionValues values = admin;
        values.user = QString::fromStdString(role);
        values.password = QString::fromUtf8(password);
        EXPECT_TRUE(CanConnectPostgreSQL(values)) << password;
        values.password += "x";
        EXPECT_FALSE(CanConnectPostgreSQL(values)) << password;
        testdb::psql("DROP ROLE " + role);
    }
}

TEST(ConnectionChecks, ADataSourceNameCannotSmuggleKeys) {
    // Unbraced, "x;DSN=<test>" would open the test data source through its second key.
    ConnectionValues values = TestValues();
    values.dataSourceName = QString::fromStdString("NoSuchDataSource;DSN=" + testdb::dsn());
    EXPECT_FALSE(CanConnectSybase(values));
}
