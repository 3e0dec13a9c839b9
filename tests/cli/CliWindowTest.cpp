// The command line and the window's send button on the same data: the same rows arrive
// and the same reports are written, both ways.
#include <QString>
#include <QStringList>

#include "cli/CliTestSupport.h"
#include "transfer/TransferFixture.h"

using namespace clitest;
using korvanta::Side;
using Rows = std::vector<std::string>;

namespace {

class CliLikeWindow : public TransferTest {};

TEST_F(CliLikeWindow, SameRowsAndSameReportsBothWays) {
    const std::string t = testdb::uniqueName("cli_win");
    // Values PostgreSQL refuses among values it takes.
    sqlite("CREATE TABLE " + Ident(t) +
           "(n INTEGER, day DATE, note TEXT);"
           "INSERT INTO " +
           Ident(t) +
           " VALUES(1, '2024-02-29', 'one'), ('bad', NULL, ''), (3, 'not a date', 'x'),"
           " (4, NULL, CAST(X'61FF62' AS TEXT)), (5, '2020-01-01', 'it''s');");
    const auto pgRows = [&] {
        return testdb::psql("SELECT n, day, encode(convert_to(note, 'UTF8'), 'hex') FROM " +
                            Ident(t) + " ORDER BY n");
    };
    Program program;

    // To PostgreSQL: the window first.
    AddSelected(*list1, t);
    Send(Side::PostgreSQL);
    const QStringList windowReports = dialogs.errorReports();
    const Rows windowRows = pgRows();
    ASSERT_EQ(windowReports.size(), 3);
    testdb::psql("DROP TABLE " + Ident(t));

    const Result cli = program.Run({"send", "--to", "postgresql", t});
    EXPECT_EQ(cli.status, 1);
    EXPECT_EQ(QString::fromStdString(cli.err), windowReports.join('\n') + '\n');
    EXPECT_EQ(pgRows(), windowRows);

    // Back to SQL Anywhere, under the name of a table the source side does not hold.
    const std::string back = t + "_back";
    testdb::psql("ALTER TABLE " + Ident(t) + " RENAME TO " + Ident(back));
    const auto saRows = [&] {
        return sqlite("SELECT n, day, hex(note) FROM " + Ident(back) + " ORDER BY n;");
    };
    AddSelected(*list2, back);
    Send(Side::SqlAnywhere);
    const QStringList windowBack = dialogs.errorReports().mid(windowReports.size());
    const Rows windowBackRows = saRows();
    ASSERT_EQ(windowBackRows.size(), windowRows.size());
    sqlite("DROP TABLE " + Ident(back) + ";");

    const Result cliBack = program.Run({"send", "--to", "sqlanywhere", back});
    EXPECT_EQ(cliBack.status, windowBack.isEmpty() ? 0 : 1) << cliBack.err;
    EXPECT_EQ(QString::fromStdString(cliBack.err),
              windowBack.isEmpty() ? QString() : windowBack.join('\n') + '\n');
    EXPECT_EQ(saRows(), windowBackRows);
}

}  // namespace
