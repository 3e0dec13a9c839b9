// Column types and values read from PostgreSQL through psqlODBC.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "AdodbTestSupport.h"
#include "adodb/Error.h"

namespace {

using adodbtest::OpenPostgres;
using adodbtest::ReadAll;
using adodbtest::Row;
using adodbtest::Value;

TEST(AdodbPostgresValues, EachColumnTypeGivesItsAdoCodeAndTextForm) {
    const std::string table = testdb::uniqueName("pg_types");
    testdb::psql("create table " + table +
                 " (c_int2 int2, c_int4 int4, c_int8 int8, c_numeric numeric, c_float4 float4,"
                 " c_float8 float8, c_money money, c_bool bool, c_text text,"
                 " c_varchar varchar(20), c_char char(5), c_date date, c_time time,"
                 " c_timestamp timestamp, c_bytea bytea, c_uuid uuid);"
                 "insert into " +
                 table +
                 " values (-12, 123456, 9000000000000000001,"
                 " 12345.678900, 3.3, 0.1, 1234.5, true, 'gr\xC3\xBC\xC3\x9F"
                 "e', 'abc', 'ab',"
                 " '2024-02-29', '13:14:15', '2024-02-29 13:14:15.25', '\\x00ff10',"
                 " 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11');"
                 "insert into " +
                 table + " default values;");

    for (int location : {adodb::adUseClient, adodb::adUseServer}) {
        SCOPED_TRACE(location == adodb::adUseClient ? "client cursor" : "server cursor");
        adodb::Connection connection = OpenPostgres(location);
        adodb::Recordset records =
            connection.Execute("select * from " + table + " order by c_int2");
        const adodb::FieldList& fields = records.Fields();
        ASSERT_EQ(fields.Count(), 16);
        const std::vector<std::pair<std::string, int>> expectedTypes = {
            {"c_int2", adodb::adSmallInt},       {"c_int4", adodb::adInteger},
            {"c_int8", adodb::adBigInt},         {"c_numeric", adodb::adNumeric},
            {"c_float4", adodb::adSingle},       {"c_float8", adodb::adDouble},
            {"c_money", adodb::adDouble},        {"c_bool", adodb::adVarChar},
            {"c_text", adodb::adLongVarWChar},   {"c_varchar", adodb::adVarWChar},
            {"c_char", adodb::adWChar},          {"c_date", adodb::adDBDate},
            {"c_time", adodb::adDBTime},         {"c_timestamp", adodb::adDBTimeStamp},
            {"c_bytea", adodb::adLongVarBinary}, {"c_uuid", adodb::adGUID}};
        for (int i = 0; i < fields.Count(); ++i) {
            EXPECT_EQ(fields[i].Name(), expectedTypes[i].first);
            EXPECT_EQ(fields[i].Type(), expectedTypes[i].second) << fields[i].Name();
        }

        std::vector<Row> rows = ReadAll(records);
        ASSERT_EQ(rows.size(), 2u);
        Value& uuid = rows[0][15];
        ASSERT_TRUE(uuid.has_value());
        // psqlODBC gives GUIDs in capitals.
        std::transform(uuid->begin(), uuid->end(), uuid->begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const Row expected = {"-12",
                              "123456",
                              "9000000000000000001",
                              "12345.678900",
                              "3.3",
                              "0.1",
                              "$1,234.50",  // the server's own text of money
                              "1",
                              "gr\xC3\xBC\xC3\x9F"
                              "e",
                              "abc",
                              "ab   ",
                              "2024-02-29",
                              "13:14:15",
                              "2024-02-29 13:14:15.25",
                              "00ff10",
                              "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11"};
        EXPECT_EQ(rows[0], expected);
        EXPECT_EQ(rows[1], Row(16));  // every column Null
    }
}

TEST(AdodbPostgresValues, NullDiffersFromEmptyText) {
    adodb::Connection connection = OpenPostgres();
    adodb::Recordset records = connection.Execute(
        "select null::text, ''::text, null::varchar(5), ''::varchar(5), null::bytea, ''::bytea");
    const std::vector<Row> rows = ReadAll(records);
    const Row expected = {Value(), "", Value(), "", Value(), ""};
    EXPECT_EQ(rows, std::vector<Row>{expected});
}

// Identifiers and literals beyond ASCII (Latin, Greek, CJK, an emoji outside the BMP) go
// in through Execute and come back byte for byte, whatever the process locale.
// Long values are read and converted in pieces: a surrogate pair that straddles two
// pieces must come back whole, and so must the text around it.
TEST(AdodbPostgresValues, LongTextComesBackWholeAcrossPieces) {
    adodb::Connection connection = OpenPostgres(adodb::adUseServer);
    const std::string face = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
    std::string sql;
    std::vector<Row> expected;
    // Puts the pair just before, across and just after the end of the first piece.
    for (int before : {32765, 32766, 32767}) {
        sql += sql.empty() ? "" : " union all ";
        sql += "select " + std::to_string(before) + " as n, repeat('x', " + std::to_string(before) +
               ") || '" + face + "\u00e9' as v";
        expected.push_back({std::to_string(before),
                            std::string(static_cast<std::size_t>(before), 'x') + face + "\u00e9"});
    }
    adodb::Recordset records = connection.Execute(sql + " order by n");
    EXPECT_TRUE(ReadAll(records) == expected);
}

TEST(AdodbPostgresValues, NonAsciiTextRoundTripsUnderAnyLocale) {
    const std::string text =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xCE\xB5\xCE\xBB \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
    for (const char* localeName : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(localeName);
        adodbtest::ProcessLocale locale(localeName);
        ASSERT_TRUE(locale.active());
        const std::string table = "\"t\xC3\xA4_" + testdb::uniqueName("pg") + "\"";
        adodb::Connection connection = OpenPostgres();
        connection.Execute("create table " + table + " (\"sp\xC3\xA4lte\" text)");
        connection.Execute("insert into " + table + " values ('" + text + "')");

        adodb::Recordset records = connection.Execute("select * from " + table);
        EXPECT_EQ(records.Fields()[0].Name(), "sp\xC3\xA4lte");
        EXPECT_EQ(ReadAll(records), std::vector<Row>{{text}});
        EXPECT_EQ(testdb::psql("select \"sp\xC3\xA4lte\" from " + table),
                  std::vector<std::string>{text});
    }
}

// de_DE.UTF-8 (decimal comma) for the life of the object, built into a private folder
// when the system lacks it.
class CommaLocale {
  public:
    CommaLocale() {
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
            Build();
        locale_.emplace("de_DE.UTF-8");
    }
    ~CommaLocale() {
        locale_.reset();
        if (folder_.empty())
            return;
        unsetenv("LOCPATH");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;
    bool active() const { return locale_->active(); }

  private:
    void Build() {
        char folder[] = "/tmp/kv-locale-XXXXXX";
        if (mkdtemp(folder) == nullptr)
            return;
        folder_ = folder;
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + folder_ + "/de_DE.UTF-8 >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0)
            setenv("LOCPATH", folder, 1);
    }
    std::string folder_;
    std::optional<adodbtest::ProcessLocale> locale_;
};

// psqlODBC writes numbers with the locale's decimal separator; a Qt program runs with the
// user's locale, yet the values keep ".".
TEST(AdodbPostgresValues, NumbersKeepThePointUnderADecimalCommaLocale) {
    CommaLocale locale;
    if (!locale.active())
        GTEST_SKIP() << "no de_DE locale and no localedef";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    adodb::Connection connection = OpenPostgres();
    adodb::Recordset records = connection.Execute(
        "select 1234567.5::numeric, 2.25::float8, 3.3::float4, 1234.5::money, -0.5::numeric");
    const Row expected = {"1234567.5", "2.25", "3.3", "$1,234.50", "-0.5"};
    EXPECT_EQ(ReadAll(records), std::vector<Row>{expected});
}

TEST(AdodbPostgresValues, LongTextComesBackWhole) {
    std::string expected;
    for (int i = 0; i < 131072; ++i)
        expected +=
            "abcd\xC3\xA9"
            "fgh";  // 1.1 MB
    for (int location : {adodb::adUseClient, adodb::adUseServer}) {
        adodb::Connection connection = OpenPostgres(location);
        adodb::Recordset records = connection.Execute(
            "select repeat('abcd\xC3\xA9"
            "fgh', 131072), 'after'");
        const adodb::FieldList& fields = records.Fields();
        EXPECT_EQ(fields[0].Value().Text(), expected);
        EXPECT_EQ(fields[1].Value().Text(), "after");
    }
}

TEST(AdodbPostgresValues, ByteaComesBackAsLowerCaseHex) {
    // 300000 bytes counting through 0..255, beyond the first read buffer.
    const std::string large =
        "(select string_agg(set_byte('\\x00'::bytea, 0, g % 256), ''::bytea)"
        " from generate_series(0, 299999) g)";
    adodb::Connection connection = OpenPostgres();
    adodb::Recordset records = connection.Execute("select decode('00ff10AB', 'hex'), " + large);
    const adodb::FieldList& fields = records.Fields();
    EXPECT_EQ(fields[0].Value().Text(), "00ff10ab");
    const std::string value = fields[1].Value().ToString();
    EXPECT_EQ(value.size(), 600000u);
    EXPECT_EQ(std::vector<std::string>{value}, testdb::psql("select encode(" + large + ", 'hex')"));
}

}  // namespace

namespace {

// Floating-point columns fetched as numbers (a driver that holds the number: here psqlODBC,
// which reads the server's exact text into it) come back as the shortest text of the same
// number, in blocks and value by value, with infinities, NaN and negative zero.
TEST(AdodbPostgresValues, FloatsFetchedAsNumbersKeepEveryDigit) {
    const std::string table = testdb::uniqueName("pg_floats");
    testdb::psql("create table " + table + " (n int, d float8, r float4); insert into " + table +
                 " values (1, 1::float8 / 7, 0.1), (2, '-0', '-Infinity'), (3, 'NaN', 3.4e38),"
                 " (4, 5e-324, 1e-45), (5, 1e300, NULL);");
    const std::vector<Row> expected = {{"1", "0.14285714285714285", "0.1"},
                                       {"2", "-0", "-Infinity"},
                                       {"3", "NaN", "3.4e+38"},
                                       {"4", "5e-324", "1e-45"},
                                       {"5", "1e+300", std::nullopt}};
    for (int location : {adodb::adUseClient, adodb::adUseServer}) {
        adodb::Connection connection = OpenPostgres(location);
        connection.FloatsAsNumbers = true;
        adodb::Recordset records = connection.Execute("select * from " + table + " order by n");
        EXPECT_EQ(ReadAll(records), expected) << location;
    }
}

}  // namespace
