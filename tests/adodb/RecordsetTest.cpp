// Moving through record sets under both cursor locations, fields, and misuse.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <fstream>
#include <string>

#include "AdodbTestSupport.h"
#include "adodb/Error.h"

namespace {

using adodbtest::OpenPostgres;
using adodbtest::OpenSqlite;
using adodbtest::ReadAll;
using adodbtest::Row;

template <typename Action>
std::string ErrorText(Action action) {
    try {
        action();
    } catch (const adodb::Error& error) {
        return error.what();
    }
    return "no adodb::Error raised";
}

// Creates a table of `rows` numbered rows on the connection.
std::string NumberedTable(adodb::Connection& connection, int rows) {
    const std::string table = testdb::uniqueName("numbers");
    connection.Execute("create table " + table + " (n integer, name varchar(30))");
    for (int i = 1; i <= rows; ++i) {
        connection.Execute("insert into " + table + " values (" + std::to_string(i) + ", 'row " +
                           std::to_string(i) + "')");
    }
    return table;
}

class AdodbBothDatabases : public ::testing::TestWithParam<bool> {
  protected:
    adodb::Connection Open(int location) {
        return GetParam() ? OpenPostgres(location) : OpenSqlite(location);
    }
};

TEST_P(AdodbBothDatabases, ClientCursorCountsExactlyAndServerCursorReadsAllRows) {
    adodb::Connection setup = Open(adodb::adUseClient);
    const std::string table = NumberedTable(setup, 250);
    std::vector<Row> expected;
    for (int i = 1; i <= 250; ++i)
        expected.push_back({std::to_string(i), "row " + std::to_string(i)});

    adodb::Connection client = Open(adodb::adUseClient);
    adodb::Recordset stored = client.Execute("select n, name from " + table + " order by n");
    EXPECT_EQ(stored.RecordCount(), 250);
    EXPECT_EQ(ReadAll(stored), expected);

    adodb::Connection server = Open(adodb::adUseServer);
    adodb::Recordset streamed = server.Execute("select n, name from " + table + " order by n");
    EXPECT_EQ(streamed.RecordCount(), -1);
    EXPECT_EQ(ReadAll(streamed), expected);
    EXPECT_EQ(streamed.RecordCount(), -1);

    adodb::Recordset empty = client.Execute("select n from " + table + " where n < 0");
    EXPECT_TRUE(empty.IsEOF());
    EXPECT_EQ(empty.RecordCount(), 0);
}

TEST_P(AdodbBothDatabases, StatementsWithoutRowsGiveClosedRecordsets) {
    adodb::Connection connection = Open(adodb::adUseClient);
    const std::string table = testdb::uniqueName("no_rows");
    EXPECT_FALSE(connection.Execute("create table " + table + " (a integer)").IsOpen());
    EXPECT_FALSE(connection.Execute("insert into " + table + " values (1)").IsOpen());
    EXPECT_FALSE(connection.Execute("update " + table + " set a = 2 where a = 99").IsOpen());
    adodb::Recordset records;
    records.Open("select a from " + table, connection);
    EXPECT_TRUE(records.IsOpen());
    EXPECT_EQ(ReadAll(records), std::vector<Row>{{"1"}});
    EXPECT_EQ(ErrorText([&] { records.Open("select 1", connection); }), adodb::kObjectOpen);
}

TEST_P(AdodbBothDatabases, ServerCursorsSurviveTheirConnectionAndEachOther) {
    adodb::Connection setup = Open(adodb::adUseClient);
    const std::string table = NumberedTable(setup, 3);
    adodb::Recordset first;
    adodb::Recordset second;
    {
        adodb::Connection connection = Open(adodb::adUseServer);
        first = connection.Execute("select n from " + table + " order by n");
        second = connection.Execute("select n from " + table + " order by n desc");
        connection.Close();  // the record sets keep the connection until they go
    }
    EXPECT_EQ(first.Fields()[0].Value().Text(), "1");
    EXPECT_EQ(second.Fields()[0].Value().Text(), "3");
    first.MoveNext();
    EXPECT_EQ(ReadAll(second), (std::vector<Row>{{"3"}, {"2"}, {"1"}}));
    EXPECT_EQ(ReadAll(first), (std::vector<Row>{{"2"}, {"3"}}));
}

INSTANTIATE_TEST_SUITE_P(Adodb, AdodbBothDatabases, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Postgres" : "Sqlite"; });

TEST(AdodbRecordset, FieldsAreFoundByPositionOrNameIgnoringCase) {
    adodb::Connection connection = OpenSqlite();
    adodb::Recordset records = connection.Execute("select 1 as First, 'two' as \"Sec\xC3\xB6nd\"");
    const adodb::FieldList& fields = records.Fields();
    EXPECT_EQ(fields.Count(), 2);
    EXPECT_EQ(&fields["FIRST"], &fields[0]);
    EXPECT_EQ(&fields["sec\xC3\xB6nd"], &fields[1]);
    EXPECT_EQ(fields.Item("first").Value().Text(), "1");
    EXPECT_EQ(ErrorText([&] { fields.Item("third"); }), adodb::kItemNotFound);
    EXPECT_EQ(ErrorText([&] { fields.Item(2); }), adodb::kItemNotFound);
    EXPECT_EQ(ErrorText([&] { fields.Item(-1); }), adodb::kItemNotFound);
}

TEST(AdodbRecordset, MisuseRaisesAdoTexts) {
    adodb::Connection connection = OpenPostgres(adodb::adUseServer);
    adodb::Recordset records = connection.Execute("select 1 as only");
    const adodb::Field& field = records.Fields()[0];
    records.MoveNext();
    EXPECT_TRUE(records.IsEOF());
    EXPECT_EQ(ErrorText([&] { records.MoveNext(); }), adodb::kNoCurrentRecord);
    EXPECT_EQ(ErrorText([&] { field.Value(); }), adodb::kNoCurrentRecord);

    records.Close();
    EXPECT_FALSE(records.IsOpen());
    EXPECT_EQ(ErrorText([&] { field.Value(); }), adodb::kObjectClosed);
    EXPECT_EQ(ErrorText([&] { records.MoveNext(); }), adodb::kObjectClosed);
    EXPECT_EQ(ErrorText([&] { records.IsEOF(); }), adodb::kObjectClosed);
    EXPECT_EQ(ErrorText([&] { records.Fields(); }), adodb::kObjectClosed);
    EXPECT_EQ(ErrorText([&] { records.RecordCount(); }), adodb::kObjectClosed);
    EXPECT_EQ(ErrorText([&] { records.Close(); }), adodb::kObjectClosed);

    adodb::Recordset never;
    EXPECT_EQ(ErrorText([&] { never.Fields(); }), adodb::kObjectClosed);
}

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A million rows under a client-side cursor stay within one and a half times their text
// (counted by PostgreSQL) once the statement is released.
TEST(AdodbRecordset, AMillionClientSideRowsStayCompact) {
    const std::string query =
        "select g as id, 'customer ' || g as name, (g % 1000) * 1.25 as amount,"
        " date '2024-01-01' + g % 365 as day from generate_series(1, 1000000) g";
    const std::vector<std::string> textSize = testdb::psql(
        "select sum(length(id::text) + length(name) + length(amount::text) + 10) from (" + query +
        ") q");
    ASSERT_EQ(textSize.size(), 1u);
    const double textBytes = std::stod(textSize[0]);

    adodb::Connection connection = OpenPostgres(adodb::adUseClient);
    const std::size_t before = HeapInUse();
    adodb::Recordset records = connection.Execute(query);
    const std::size_t held = HeapInUse() - before;
    EXPECT_EQ(records.RecordCount(), 1000000);
    EXPECT_LE(static_cast<double>(held), 1.5 * textBytes) << "text " << textBytes << " bytes";
    EXPECT_EQ(records.Fields()["name"].Value().Text(), "customer 1");
}

// Resident memory in bytes: the peak so far, or now.
long long ResidentBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stoll(line.substr(std::string(field).size())) * 1024;
    }
    return -1;
}

// While a client-side result is read, the PostgreSQL driver holds no second copy of it:
// the peak stays near the record set's own compact copy, not several times the table.
TEST(AdodbRecordset, ReadingAClientSideResultKeepsNoSecondCopyInTheDriver) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "resident memory under AddressSanitizer says nothing about the program";
#endif
    const std::string query =
        "select g as id, 'customer ' || g as name, (g % 1000) * 1.25 as amount"
        " from generate_series(1, 500000) g";
    const double textBytes = std::stod(
        testdb::psql("select sum(length(id::text) + length(name) + length(amount::text)) from (" +
                     query + ") q")[0]);
    adodb::Connection connection = OpenPostgres(adodb::adUseClient);
    std::ofstream("/proc/self/clear_refs") << "5";  // forget the peak so far
    const long long before = ResidentBytes("VmRSS:");
    adodb::Recordset records = connection.Execute(query);
    const long long peak = ResidentBytes("VmHWM:") - before;
    EXPECT_EQ(records.RecordCount(), 500000);
    EXPECT_LE(static_cast<double>(peak), 2.0 * textBytes) << "text " << textBytes << " bytes";
}

}  // namespace
