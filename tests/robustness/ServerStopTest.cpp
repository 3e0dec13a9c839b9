// The PostgreSQL server stops while a large table is being sent. These tests stop the
// test command's shared server, so CTest runs them alone (RUN_SERIAL).
#include <cstdlib>

#include "RobustnessSupport.h"
#include "app/ProgressBar.h"
#include "app/PushButton.h"
#include "app/WindowPointer.h"

using namespace korvanta;
using robust::Ident;
using testdb::psql;
using testdb::sqlite;
using Rows = std::vector<std::string>;

namespace {

constexpr int kRows = 50000;

// Stops and restarts the shared server; whatever happens in the test, the server is
// running again when the switch goes.
class ServerSwitch {
  public:
    ServerSwitch()
        : control_(robust::Environment("KV_PG_CTL")),
          folder_(robust::Environment("KV_DBENV_DIR")) {}
    ~ServerSwitch() {
        if (stopped_)
            std::system((control_ + " pgctl " + folder_ + " start >/dev/null 2>&1").c_str());
    }
    ServerSwitch(const ServerSwitch&) = delete;
    ServerSwitch& operator=(const ServerSwitch&) = delete;

    void Stop() {
        stopped_ = true;
        Run("stop");
    }
    void Start() {
        Run("start");
        stopped_ = false;
    }
    bool Stopped() const { return stopped_; }

  private:
    void Run(const std::string& action) {
        const std::string command = control_ + " pgctl " + folder_ + " " + action;
        ASSERT_EQ(std::system((command + " >/dev/null").c_str()), 0) << command;
    }
    std::string control_;
    std::string folder_;
    bool stopped_ = false;
};

class ServerStop : public ::testing::Test {
  protected:
    // The program starts with the test databases stored: it lands on the table window.
    void LandOnTableWindow() {
        program.form1.Form_Load();
        ASSERT_TRUE(program.form2.isVisible()) << program.Reports();
    }

    // Stops the server as the progress bar reaches 20% of the first table sent, before
    // that row is written.
    void StopAtOneFifth() {
        QObject::connect(program.form2.ProgressBar1, &ProgressBar::ValueSet, [this](double value) {
            if (value > 0 && !server.Stopped() && ++rowsBegun == kRows / 5)
                server.Stop();
        });
    }

    // The window is at rest after the run, and both lists answer their buttons.
    void ExpectWindowUsable() {
        Form2& form = program.form2;
        EXPECT_FALSE(program.guard.Busy());
        EXPECT_EQ(form.Pointer->Mode(), WindowPointer::kDefault);
        EXPECT_EQ(form.ProgressBar1->Value(), 0);
        EXPECT_EQ(form.ProgressBar1->Text(), "Progress Bar");
        const struct {
            TableList* list;
            PushButton* selectAll;
            PushButton* deselectAll;
        } sides[] = {{form.List1, form.PushButton10, form.PushButton11},
                     {form.List2, form.PushButton8, form.PushButton9}};
        for (const auto& side : sides) {
            side.selectAll->click();
            EXPECT_EQ(side.list->SelectedCount(), side.list->Count());
            side.deselectAll->click();
            EXPECT_EQ(side.list->SelectedCount(), 0);
        }
    }

    // Back to the connection window and forward again: both lists are reread.
    void ExpectBackAndNextWork() {
        program.form2.PushButton2->click();
        EXPECT_TRUE(program.form1.isVisible());
        EXPECT_FALSE(program.form2.isVisible());
        program.form1.PushButton2->click();
        EXPECT_TRUE(program.form2.isVisible());
        EXPECT_FALSE(program.form1.isVisible());
    }

    robust::Program program;
    ServerSwitch server;
    int rowsBegun = 0;
};

TEST_F(ServerStop, TowardsPostgreSQLTheRunEndsWithOneReportAndKeepsTheRowsWritten) {
    const std::string big = testdb::uniqueName("stop_b_big");
    const std::string later = testdb::uniqueName("stop_a_later");  // sorts first: sent last
    sqlite("CREATE TABLE " + Ident(big) +
           "(n INTEGER, label TEXT);"
           "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
           std::to_string(kRows) + ") INSERT INTO " + Ident(big) +
           " SELECT n, 'row ' || n FROM c;"
           "CREATE TABLE " +
           Ident(later) + "(n INTEGER); INSERT INTO " + Ident(later) + " VALUES(1);");
    LandOnTableWindow();
    robust::Pick(*program.form2.List1, big);
    robust::Pick(*program.form2.List1, later);
    StopAtOneFifth();

    program.form2.PushButton3->click();

    ASSERT_TRUE(server.Stopped());
    ASSERT_EQ(program.dialogs.errorReports().size(), 1) << program.Reports();
    EXPECT_TRUE(program.dialogs.errorReports()[0].contains("PushButton3_Click at line 282\r\r"))
        << program.Reports();
    // The table that was created is listed; the entry after it was never sent.
    EXPECT_GE(robust::IndexOf(*program.form2.List2, big), 0);
    EXPECT_EQ(robust::IndexOf(*program.form2.List2, later), -1);
    ExpectWindowUsable();

    server.Start();
    // Every row written before the server stopped is still there; nothing more.
    EXPECT_EQ(psql("SELECT count(*), min(n), max(n) FROM " + Ident(big)), Rows{"9999|1|9999"});
    EXPECT_EQ(psql("SELECT count(*) FROM pg_tables WHERE tablename = '" + later + "'"), Rows{"0"});
    ExpectBackAndNextWork();
    EXPECT_GE(robust::IndexOf(*program.form2.List2, big), 0);
    EXPECT_EQ(program.dialogs.errorReports().size(), 1) << program.Reports();
    psql("DROP TABLE " + Ident(big));
    sqlite("DROP TABLE " + Ident(big) + "; DROP TABLE " + Ident(later) + ";");
}

// The PostgreSQL source was read whole before its server stopped: the table being sent
// arrives complete, and the next table, which would need the server, ends the run: the
// one after it is not tried.
TEST_F(ServerStop, FromPostgreSQLTheTableReadArrivesWholeAndTheNextSourceEndsTheRun) {
    const std::string big = testdb::uniqueName("stop_b_big");
    const std::string later = testdb::uniqueName("stop_a_later");
    const std::string last = testdb::uniqueName("stop_0_last");
    psql("CREATE TABLE " + Ident(big) + " AS SELECT n::int4 AS n, 'row ' || n AS label " +
         "FROM generate_series(1, " + std::to_string(kRows) + ") AS n;" + "CREATE TABLE " +
         Ident(later) + " AS SELECT 1::int4 AS n; CREATE TABLE " + Ident(last) +
         " AS SELECT 1::int4 AS n;");
    LandOnTableWindow();
    robust::Pick(*program.form2.List2, big);
    robust::Pick(*program.form2.List2, later);
    robust::Pick(*program.form2.List2, last);
    StopAtOneFifth();

    program.form2.PushButton4->click();

    ASSERT_TRUE(server.Stopped());
    ASSERT_EQ(program.dialogs.errorReports().size(), 1) << program.Reports();
    EXPECT_TRUE(program.dialogs.errorReports()[0].contains("PushButton4_Click at line 156\r\r"))
        << program.Reports();
    EXPECT_EQ(sqlite("SELECT count(*), sum(n), max(label = 'row ' || n) FROM " + Ident(big)),
              Rows{"50000|1250025000|1"});
    EXPECT_EQ(sqlite("SELECT count(*) FROM sqlite_master WHERE name = '" + later + "'"), Rows{"0"});
    EXPECT_GE(robust::IndexOf(*program.form2.List1, big), 0);
    EXPECT_EQ(robust::IndexOf(*program.form2.List1, later), -1);
    ExpectWindowUsable();

    server.Start();
    ExpectBackAndNextWork();
    EXPECT_GE(robust::IndexOf(*program.form2.List1, big), 0);
    EXPECT_GE(robust::IndexOf(*program.form2.List2, later), 0);
    EXPECT_EQ(program.dialogs.errorReports().size(), 1) << program.Reports();
    psql("DROP TABLE " + Ident(big) + "; DROP TABLE " + Ident(later) + "; DROP TABLE " +
         Ident(last) + ";");
    sqlite("DROP TABLE " + Ident(big));
}

}  // namespace
