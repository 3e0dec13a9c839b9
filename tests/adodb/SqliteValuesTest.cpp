// Column types and values read from SQLite through the SQLite3 ODBC data source.
#include <gtest/gtest.h>

#include <string>

#include "AdodbTestSupport.h"
#include "adodb/ArrayInsert.h"

namespace {

using adodbtest::OpenSqlite;
using adodbtest::ReadAll;
using adodbtest::Row;
using adodbtest::Value;

TEST(AdodbSqliteValues, EachDeclaredTypeGivesItsAdoCodeAndTextForm) {
    const std::string table = testdb::uniqueName("lite_types");
    testdb::sqlite("create table " + table +
                   " (c_integer INTEGER, c_numeric NUMERIC, c_real REAL, c_text TEXT,"
                   " c_varchar VARCHAR(20), c_blob BLOB, c_date DATE, c_time TIME,"
                   " c_timestamp TIMESTAMP, c_bool BOOL, c_bigint BIGINT);"
                   "insert into " +
                   table +
                   " values (42, 12.5, 0.1, 'gr\xC3\xBC\xC3\x9F"
                   "e',"
                   " 'abc', x'00ff10', '2024-02-29', '13:14:15', '2024-02-29 13:14:15.25', 1,"
                   " 9000000000000000001);"
                   "insert into " +
                   table + " default values;");

    for (int location : {adodb::adUseClient, adodb::adUseServer}) {
        SCOPED_TRACE(location == adodb::adUseClient ? "client cursor" : "server cursor");
        adodb::Connection connection = OpenSqlite(location);
        adodb::Recordset records =
            connection.Execute("select * from " + table + " order by c_integer desc");
        const adodb::FieldList& fields = records.Fields();
        ASSERT_EQ(fields.Count(), 11);
        const std::vector<std::pair<std::string, int>> expectedTypes = {
            {"c_integer", adodb::adInteger},       {"c_numeric", adodb::adDouble},
            {"c_real", adodb::adDouble},           {"c_text", adodb::adLongVarChar},
            {"c_varchar", adodb::adVarChar},       {"c_blob", adodb::adBinary},
            {"c_date", adodb::adDBDate},           {"c_time", adodb::adDBTime},
            {"c_timestamp", adodb::adDBTimeStamp}, {"c_bool", adodb::adBoolean},
            {"c_bigint", adodb::adBigInt}};
        for (int i = 0; i < fields.Count(); ++i) {
            EXPECT_EQ(fields[i].Name(), expectedTypes[i].first);
            EXPECT_EQ(fields[i].Type(), expectedTypes[i].second) << fields[i].Name();
        }
        const Row expected = {"42",
                              "12.5",
                              "0.1",
                              "gr\xC3\xBC\xC3\x9F"
                              "e",
                              "abc",
                              "00ff10",
                              "2024-02-29",
                              "13:14:15",
                              "2024-02-29 13:14:15.25",
                              "1",
                              "9000000000000000001"};
        EXPECT_EQ(ReadAll(records), (std::vector<Row>{expected, Row(11)}));
    }
}

TEST(AdodbSqliteValues, NullDiffersFromEmptyText) {
    adodb::Connection connection = OpenSqlite();
    const std::string table = testdb::uniqueName("lite_null");
    connection.Execute("create table " + table + " (t TEXT, v VARCHAR(5), b BLOB)");
    connection.Execute("insert into " + table + " values (null, null, null), ('', '', x'')");
    adodb::Recordset records = connection.Execute("select * from " + table + " order by t");
    EXPECT_EQ(ReadAll(records), (std::vector<Row>{{Value(), Value(), Value()}, {"", "", ""}}));
}

TEST(AdodbSqliteValues, NonAsciiTextRoundTripsUnderAnyLocale) {
    const std::string text =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xCE\xB5\xCE\xBB \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
    for (const char* localeName : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(localeName);
        adodbtest::ProcessLocale locale(localeName);
        ASSERT_TRUE(locale.active());
        const std::string table = "\"t\xC3\xA4_" + testdb::uniqueName("lite") + "\"";
        adodb::Connection connection = OpenSqlite();
        connection.Execute("create table " + table + " (\"sp\xC3\xA4lte\" TEXT)");
        connection.Execute("insert into " + table + " values ('" + text + "')");

        adodb::Recordset records = connection.Execute("select * from " + table);
        EXPECT_EQ(records.Fields()[0].Name(), "sp\xC3\xA4lte");
        EXPECT_EQ(ReadAll(records), std::vector<Row>{{text}});
        EXPECT_EQ(testdb::sqlite("select \"sp\xC3\xA4lte\" from " + table),
                  std::vector<std::string>{text});
    }
}

TEST(AdodbSqliteValues, LongTextAndBlobsComeBackWhole) {
    std::string text;
    for (int i = 0; i < 131072; ++i)
        text +=
            "abcd\xC3\xA9"
            "fgh";  // 1.1 MB
    adodb::Connection connection = OpenSqlite();
    const std::string table = testdb::uniqueName("lite_long");
    connection.Execute("create table " + table + " (t TEXT, b BLOB)");
    connection.Execute("insert into " + table + " values ('" + text + "', randomblob(300000))");

    adodb::Recordset records = connection.Execute("select t, b from " + table);
    EXPECT_EQ(records.Fields()[0].Value().Text(), text);
    EXPECT_EQ(std::vector<std::string>{records.Fields()[1].Value().ToString()},
              testdb::sqlite("select lower(hex(b)) from " + table));
}

// Rows of text values for ArrayInsert.
class Rows final : public adodb::TextRows {
  public:
    std::vector<Row> rows;
    std::optional<std::string_view> Value(std::size_t row, std::size_t column) const override {
        const adodbtest::Value& value = rows[row][column];
        return value ? std::optional<std::string_view>(*value) : std::nullopt;
    }
};

// A prepared INSERT run for many rows at once: the database reads each text parameter as
// it reads the same literal, and a refused row is named, inside a transaction that takes
// the rows before it back.
TEST(AdodbSqliteValues, ArrayInsertStoresTextAsLiteralsAndNamesTheRefusedRow) {
    const std::string table = testdb::uniqueName("lite_array");
    testdb::sqlite("create table " + table + " (n NUMERIC, t TEXT UNIQUE)");
    Rows rows;
    for (int i = 0; i < 2000; ++i)
        rows.rows.push_back({std::to_string(i), "row " + std::to_string(i)});
    rows.rows[5] = {Value(), ""};
    rows.rows[6] = {"12.50", Value()};
    rows.rows[1234][1] = "row 10";  // refused by the unique index
    adodb::Connection connection = OpenSqlite(adodb::adUseServer);
    adodb::ArrayInsert insert(connection, "insert into " + table + " values(?, ?)", 2);

    connection.BeginTrans();
    const adodb::ArrayInsert::Result refused = insert.Execute(rows, 0, rows.rows.size());
    connection.RollbackTrans();
    ASSERT_TRUE(refused.error);
    EXPECT_NE(std::string(refused.error->what()).find("UNIQUE"), std::string::npos)
        << refused.error->what();
    EXPECT_EQ(refused.failedRow, std::optional<std::size_t>(1234));
    EXPECT_EQ(testdb::sqlite("select count(*) from " + table), std::vector<std::string>{"0"});

    connection.BeginTrans();
    EXPECT_FALSE(insert.Execute(rows, 0, 1234).error);
    EXPECT_FALSE(insert.Execute(rows, 1235, rows.rows.size()).error);
    connection.CommitTrans();
    EXPECT_EQ(testdb::sqlite("select count(*), sum(n), count(t) from " + table),
              // 0 + ... + 1999, without 1234 (refused), 5 (Null) and 6 (12.50 instead)
              std::vector<std::string>{"1999|1997767.5|1998"});
    EXPECT_EQ(
        testdb::sqlite("select typeof(n), quote(t) from " + table + " where rowid <= 7"),
        (std::vector<std::string>{"integer|'row 0'", "integer|'row 1'", "integer|'row 2'",
                                  "integer|'row 3'", "integer|'row 4'", "null|''", "real|NULL"}));
}

}  // namespace
