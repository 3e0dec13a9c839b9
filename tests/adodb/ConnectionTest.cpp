// Opening connections: data sources, drivers' errors, passwords that need braces.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "AdodbTestSupport.h"
#include "adodb/Error.h"

namespace {

using adodbtest::OpenPostgres;
using adodbtest::OpenSqlite;
using adodbtest::ReadAll;
using adodbtest::Row;
using ::testing::HasSubstr;

// Runs `action`, expecting adodb::Error; returns it.
template <typename Action>
adodb::Error ErrorOf(Action action) {
    try {
        action();
    } catch (const adodb::Error& error) {
        return error;
    }
    ADD_FAILURE() << "no adodb::Error raised";
    return adodb::Error("none");
}

std::string PgString(const std::string& user, const std::string& bracedPassword) {
    const testdb::PgLogin login = testdb::pg();
    return "Driver={PostgreSQL Unicode};Server=" + login.server + ";Port=" + login.port +
           ";Uid=" + user + ";Pwd=" + bracedPassword + ";Database=" + login.database;
}

TEST(AdodbConnection, WrongPasswordReportsTheServersText) {
    adodb::Connection connection;
    const adodb::Error error =
        ErrorOf([&] { connection.Open(PgString(testdb::pg().user, "{wrong password}")); });
    EXPECT_THAT(error.what(), HasSubstr("password authentication failed"));
    EXPECT_EQ(error.state(), "08001");
    EXPECT_FALSE(connection.IsOpen());
}

TEST(AdodbConnection, DataSourceKeyOpensTheDataSource) {
    adodb::Connection connection;
    connection.Open("Data Source=" + testdb::dsn());
    ASSERT_TRUE(connection.IsOpen());
    adodb::Recordset records = connection.Execute("select sqlite_version() is not null");
    EXPECT_EQ(ReadAll(records), std::vector<Row>{{"1"}});
}

TEST(AdodbConnection, EmptyOrUnknownDataSourceFailsWithTheDriverManagersText) {
    for (const std::string name : {"", "NoSuchDataSource"}) {
        adodb::Connection connection;
        const adodb::Error error = ErrorOf([&] { connection.Open("Data Source=" + name); });
        EXPECT_THAT(error.what(),
                    HasSubstr("[unixODBC][Driver Manager]Data source name not found"));
        EXPECT_EQ(error.state(), "IM002");
    }
}

// Under LANG=C the driver manager would turn a non-ASCII path into "t?.sqlite" on its way
// to an ANSI driver through the wide functions.
TEST(AdodbConnection, NonAsciiDatabasePathOpensThatFile) {
    adodbtest::ProcessLocale locale("C");
    ASSERT_TRUE(locale.active());
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / testdb::uniqueName("kv-adodb");
    std::filesystem::create_directory(folder);
    const std::string file = (folder / "t\xC3\xA4.sqlite").string();
    {
        adodb::Connection connection;
        connection.Open("Driver={SQLite3};Database=" + file);
        connection.Execute("create table t (a int)");
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"t\xC3\xA4.sqlite"});
    std::filesystem::remove_all(folder);
}

// Roles whose passwords hold ; } + % and blanks open with the password between braces and
// "}" doubled, as the program writes them; a non-ASCII one opens whatever the locale.
TEST(AdodbConnection, PasswordsWithSpecialCharactersOpenWhenBraced) {
    adodbtest::ProcessLocale locale("C");
    ASSERT_TRUE(locale.active());
    const std::vector<std::pair<std::string, std::string>> passwords = {
        {"semi;colon", "{semi;colon}"},
        {"close}brace", "{close}}brace}"},
        {"plus+sign", "{plus+sign}"},
        {"percent%41", "{percent%41}"},
        {" all;}+%= ", "{ all;}}+%= }"},
        {"gr\xC3\xBC\xC3\x9F"
         "e",
         "gr\xC3\xBC\xC3\x9F"
         "e"}};
    for (const auto& [password, braced] : passwords) {
        SCOPED_TRACE(password);
        const std::string role = testdb::uniqueName("kv_role");
        std::string literal;
        for (char c : password)
            literal += c == '\'' ? std::string("''") : std::string(1, c);
        testdb::psql("create role " + role + " login password '" + literal + "'");
        {
            adodb::Connection connection;
            connection.Open(PgString(role, braced));
            // Text stays wide and whole after the reconnection a non-ASCII string takes.
            adodb::Recordset records = connection.Execute("select current_user, '\xC3\xA9'::text");
            EXPECT_EQ(records.Fields()[1].Type(), adodb::adLongVarWChar);
            EXPECT_EQ(ReadAll(records), (std::vector<Row>{{role, "\xC3\xA9"}}));
        }
        testdb::psql("drop role " + role);
    }
}

TEST(AdodbConnection, MisuseRaisesAdoTexts) {
    adodb::Connection connection;
    EXPECT_STREQ(ErrorOf([&] { connection.Execute("select 1"); }).what(), adodb::kObjectClosed);
    EXPECT_STREQ(ErrorOf([&] { connection.OpenSchema(adodb::adSchemaTables); }).what(),
                 adodb::kObjectClosed);
    EXPECT_STREQ(ErrorOf([&] { connection.Close(); }).what(), adodb::kObjectClosed);

    connection.Open("Data Source=" + testdb::dsn());
    EXPECT_STREQ(ErrorOf([&] { connection.Open("Data Source=" + testdb::dsn()); }).what(),
                 adodb::kObjectOpen);
    connection.Close();
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_STREQ(ErrorOf([&] { connection.Execute("select 1"); }).what(), adodb::kObjectClosed);
}

TEST(AdodbConnection, FailedStatementsReportTheDriversText) {
    adodb::Connection pg = OpenPostgres();
    const adodb::Error pgError = ErrorOf([&] { pg.Execute("select * from no_such_table"); });
    EXPECT_THAT(pgError.what(), HasSubstr("relation \"no_such_table\" does not exist"));
    EXPECT_EQ(pgError.state(), "42P01");
    EXPECT_FALSE(pgError.connectionLost());

    adodb::Connection lite = OpenSqlite();
    const adodb::Error liteError = ErrorOf([&] {
        lite.Execute(
            "select * from \"no_such_t\xC3\xA4"
            "ble\"");
    });
    EXPECT_THAT(liteError.what(), HasSubstr("no such table: no_such_t\xC3\xA4"
                                            "ble"));
    EXPECT_FALSE(liteError.state().empty());

    // The connections stay usable.
    adodb::Recordset records = pg.Execute("select 1");
    EXPECT_EQ(ReadAll(records), std::vector<Row>{{"1"}});
}

// The rows of OpenSchema(adSchemaTables) that name one of `names`: schema, name, type.
std::vector<Row> SchemaRows(adodb::Connection& connection, const std::vector<std::string>& names) {
    adodb::Recordset records = connection.OpenSchema(adodb::adSchemaTables);
    const adodb::FieldList& fields = records.Fields();
    EXPECT_EQ(fields.Count(), 5);
    EXPECT_EQ(fields[0].Name(), "TABLE_CATALOG");
    EXPECT_EQ(fields[4].Name(), "DESCRIPTION");
    std::vector<Row> found;
    for (; !records.IsEOF(); records.MoveNext()) {
        const std::string name = fields["TABLE_NAME"].Value().ToString();
        if (std::find(names.begin(), names.end(), name) == names.end())
            continue;
        const adodb::Variant schema = fields["TABLE_SCHEMA"].Value();
        found.push_back({schema.IsNull() ? adodbtest::Value() : schema.ToString(), name,
                         fields["TABLE_TYPE"].Value().ToString()});
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(AdodbConnection, OpenSchemaListsTablesAndViewsOfAllSchemasOnPostgres) {
    const std::string table = testdb::uniqueName("schema_t");
    const std::string view = testdb::uniqueName("schema_v");
    testdb::psql("create schema if not exists kv_other; create table kv_other." + table +
                 " (a int); create view " + view + " as select 1 as x;");
    adodb::Connection connection = OpenPostgres();
    EXPECT_EQ(SchemaRows(connection, {table, view}),
              (std::vector<Row>{{"kv_other", table, "TABLE"}, {"public", view, "VIEW"}}));
}

TEST(AdodbConnection, OpenSchemaListsTablesAndViewsOnSqlite) {
    const std::string table = testdb::uniqueName("schema_t");
    const std::string view = testdb::uniqueName("schema_v");
    testdb::sqlite("create table " + table + " (a int); create view " + view + " as select 1;");
    adodb::Connection connection = OpenSqlite();
    EXPECT_EQ(SchemaRows(connection, {table, view}),
              (std::vector<Row>{{adodbtest::Value(), table, "TABLE"},
                                {adodbtest::Value(), view, "VIEW"}}));
    EXPECT_STREQ(ErrorOf([&] { connection.OpenSchema(4); }).what(), adodb::kNotSupported);
}

}  // namespace
