// Client-side record sets over PostgreSQL read results of short, bounded columns many
// rows per fetch; these cases check that this gives exactly the rows and texts that
// psql sees, across block boundaries, and leaves the reused statement as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AdodbTestSupport.h"

namespace {

using adodbtest::OpenPostgres;
using adodbtest::ReadAll;
using adodbtest::Row;

// The rows as psql prints them (fields joined by '|', Null as "<null>").
std::vector<std::string> Joined(const std::vector<Row>& rows) {
    std::vector<std::string> lines;
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0)
                line += '|';
            line += row[i].value_or("<null>");
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(AdodbBlockFetch, RowsAcrossBlocksMatchPsql) {
    const std::string table = testdb::uniqueName("pg_blocks");
    // 601 rows: several full blocks and a partial one; each column Null in some rows;
    // text beyond ASCII, including characters outside the BMP at the column's full length.
    testdb::psql("create table " + table +
                 " (id int4, big int8, amount numeric(12,2), small numeric(3,3), label varchar(4),"
                 " code char(3), day date, at time, stamp timestamp);"
                 "insert into " +
                 table +
                 " select g,"
                 " case when g % 7 = 1 then null else g::int8 * -1000000007 end,"
                 " case when g % 7 = 2 then null else (g * 1234567) % 100000000 / -100.0 end,"
                 " case when g % 7 = 3 then null else -0.001 * (g % 1000) end,"
                 " case when g % 7 = 4 then null when g % 3 = 0 then"
                 " E'\\U0001F600\\U0001F600\\U0001F600\\U0001F600'"
                 " when g % 3 = 1 then 'gr\xC3\xBC\xC3\x9F' else '' end,"
                 " case when g % 7 = 5 then null else 'c' || (g % 10) end,"
                 " case when g % 7 = 6 then null else date '0001-01-01' + g * 1000 end,"
                 " case when g % 7 = 0 then null else time '00:00:00' + g * interval '97 s' end,"
                 " case when g % 5 = 0 then null"
                 " else timestamp '2020-02-29 23:59:59' + g * interval '1.000125 s' end"
                 " from generate_series(1, 601) as g");

    adodb::Connection connection = OpenPostgres();
    adodb::Recordset records = connection.Execute("select * from " + table + " order by id");
    EXPECT_EQ(records.RecordCount(), 601);
    const std::vector<std::string> read = Joined(ReadAll(records));
    const std::vector<std::string> expected =
        testdb::psql("select * from " + table + " order by id");
    ASSERT_EQ(read.size(), expected.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        ASSERT_EQ(read[i], expected[i]) << "row " << i + 1;
    }
}

// A varchar without a length reports a size that its values may exceed; every value
// still comes back whole.
TEST(AdodbBlockFetch, ValuesLongerThanTheReportedSizeComeBackWhole) {
    adodb::Connection connection = OpenPostgres();
    adodb::Recordset records = connection.Execute(
        "select g, repeat('\xC3\xA9', g)::varchar || '.' from generate_series(1, 1500, 3) as g");
    const std::vector<Row> rows = ReadAll(records);
    ASSERT_EQ(rows.size(), 500u);
    for (const Row& row : rows) {
        ASSERT_TRUE(row[0] && row[1]);
        const int g = std::stoi(*row[0]);
        std::string expected;
        for (int k = 0; k < g; ++k)
            expected += "\xC3\xA9";
        expected += '.';
        ASSERT_EQ(*row[1], expected) << "length " << g;
    }
}

// After a client-side read the statement handle is reused: a server-side record set read
// row by row and further statements see every row, one at a time.
TEST(AdodbBlockFetch, ReusedStatementFetchesOneRowAtATimeAfterwards) {
    adodb::Connection connection = OpenPostgres();
    adodb::Recordset first =
        connection.Execute("select g, g * 2 from generate_series(1, 300) as g");
    EXPECT_EQ(first.RecordCount(), 300);

    adodb::Recordset second = connection.Execute("select g from generate_series(1, 5) as g");
    EXPECT_EQ(ReadAll(second), (std::vector<Row>{{"1"}, {"2"}, {"3"}, {"4"}, {"5"}}));

    connection.CursorLocation = adodb::adUseServer;
    adodb::Recordset streamed =
        connection.Execute("select g, 'v' || g from generate_series(1, 300) as g");
    const std::vector<Row> rows = ReadAll(streamed);
    ASSERT_EQ(rows.size(), 300u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i], (Row{std::to_string(i + 1), "v" + std::to_string(i + 1)}));
    }
}

}  // namespace
