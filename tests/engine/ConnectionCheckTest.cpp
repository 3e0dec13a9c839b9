#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>
#include <vector>

#include "adodb/Error.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/connections/Sybase.h"
#include "support/TestDatabases.h"

using namespace korvanta;

namespace {

ConnectionValues TestValues() {
    return testdb::connectionValues();
}

// An SQL identifier in double quotes.
std::string Ident(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// The first row of a query, its fields joined by '|'.
std::string FirstRow(adodb::Connection& connection, const std::string& sql) {
    adodb::Recordset records = connection.Execute(sql);
    std::string row;
    for (int i = 0; i < records.Fields().Count(); ++i)
        row += (i > 0 ? "|" : "") + records.Fields()[i].Value().ToString();
    return row;
}

// The message of the adodb::Error that the action raises.
template <typename Action>
std::string ErrorOf(Action action) {
    try {
        action();
    } catch (const adodb::Error& error) {
        return error.what();
    }
    return "no adodb::Error raised";
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
    const char* passwords[] = {"semi;colon",      "close}brace",         "plus+sign",
                               "per%41cent",      "equals=sign",         "{opening}brace}",
                               "all;}+%={ mixed", " blank at both ends "};
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

// psqlODBC reads these keys byte for byte and takes no braces off: a role and a database
// named with each character open as themselves.
TEST(ConnectionChecks, UserAndDatabaseNamesWithConnectionStringCharactersOpenThemselves) {
    const ConnectionValues admin = TestValues();
    const std::pair<std::string, std::string> around[] = {
        {"", "+ro"}, {"", "%41"}, {"", "=x"}, {"", "{x}"}, {"", "}x"}, {" ", ""}, {"", " "}};
    for (const auto& [before, after] : around) {
        const std::string name = before + testdb::uniqueName("kv_name") + after;
        SCOPED_TRACE("[" + name + "]");
        testdb::psql("CREATE ROLE " + Ident(name) + " LOGIN PASSWORD 'pw';\nCREATE DATABASE " +
                     Ident(name) + ";");
        ConnectionValues values = admin;
        values.user = values.database = QString::fromStdString(name);
        values.password = "pw";
        EXPECT_TRUE(CanConnectPostgreSQL(values));
        {
            adodb::Connection connection;
            OpenPostgreSQL(connection, values);
            EXPECT_EQ(FirstRow(connection, "select current_user, current_database()"),
                      name + "|" + name);
        }
        testdb::psql("DROP DATABASE " + Ident(name) + " WITH (FORCE);\nDROP ROLE " + Ident(name) +
                     ";");
    }
}

// The server as a socket folder whose name holds such characters, and a port with a blank
// in front (libpq reads both), reach libpq as typed.
TEST(ConnectionChecks, ServerAndPortGoInAsTyped) {
    const char* cluster = std::getenv("KV_DBENV_DIR");
    ASSERT_NE(cluster, nullptr) << "run the tests through scripts/test";
    QTemporaryDir folder;
    const std::string link = QDir(folder.path()).filePath("sock+%41={x}").toStdString() + " ";
    ASSERT_EQ(symlink((std::string(cluster) + "/pg/socket").c_str(), link.c_str()), 0);
    ConnectionValues values = TestValues();
    values.server = QString::fromStdString(link);
    values.port = " " + values.port;
    adodb::Connection connection;
    OpenPostgreSQL(connection, values);
    EXPECT_EQ(FirstRow(connection, "select coalesce(host(inet_server_addr()), 'socket')"),
              "socket");
}

// A value that would be read as another never connects: its key cannot carry it (it would
// open the data source after ";", or, between braces, a temporary database), or it keeps
// the blanks and quotes that the OLE DB form would have taken off.
TEST(ConnectionChecks, ValuesThatWouldBeReadAsOthersNeverConnect) {
    const ConnectionValues good = TestValues();
    const std::string dsn = testdb::dsn();
    for (const std::string& name :
         {"NoSuchDataSource;DSN=" + dsn, "{" + dsn + "}", " " + dsn, dsn + " ", "'" + dsn + "'"}) {
        SCOPED_TRACE(name);
        ConnectionValues values = good;
        values.dataSourceName = QString::fromStdString(name);
        EXPECT_FALSE(CanConnectSybase(values));
    }
    ConnectionValues values = good;
    values.database = QString::fromStdString(testdb::pg().database + ";x");
    EXPECT_FALSE(CanConnectPostgreSQL(values));
    adodb::Connection connection;
    EXPECT_EQ(ErrorOf([&] { OpenPostgreSQL(connection, values); }),
              "The database name cannot be passed to the ODBC driver: it contains \";\".");
    values.dataSourceName = QString::fromStdString("{" + dsn + "}");
    EXPECT_EQ(ErrorOf([&] { OpenSybase(connection, values); }),
              "The data source name cannot be passed to the ODBC driver: it starts with \"{\".");
}

// unixODBC and sqliteodbc both read the name as written: data sources named with such
// characters (in a private copy of the data source list) open their own files.
TEST(ConnectionChecks, DataSourceNamesWithConnectionStringCharactersOpenTheirOwnFile) {
    QTemporaryDir folder;
    const std::vector<std::string> names = {"a+b", "c%41", "d=e", "f{g}", "h}i", "'j'", "\"k\" l"};
    QFile list(folder.filePath("odbc.ini"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    for (std::size_t i = 0; i < names.size(); ++i) {
        list.write(QStringLiteral("[%1]\nDriver=SQLite3\nDatabase=%2\n\n")
                       .arg(QString::fromStdString(names[i]),
                            folder.filePath(QString::number(i) + ".sqlite"))
                       .toUtf8());
    }
    list.close();
    setenv("ODBCINI", list.fileName().toLocal8Bit().constData(), 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        ConnectionValues values = TestValues();
        values.dataSourceName = QString::fromStdString(names[i]);
        EXPECT_TRUE(CanConnectSybase(values));
        adodb::Connection connection;
        OpenSybase(connection, values);
        EXPECT_EQ(FirstRow(connection, "select file from pragma_database_list"),
                  folder.filePath(QString::number(i) + ".sqlite").toStdString());
    }
}
