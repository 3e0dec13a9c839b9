// The PostgreSQL server stops while a large table is being sent. These tests stop the
// test command's shared server, so CTest runs them alone (RUN_SERIAL).
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>

#include "RobustnessSupport.h"
#include "app/ProgressBar.h"
#include "app/PushButton.h"
#include "app/WindowPointer.h"
#include "engine/send/TransferRun.h"
#include "engine/tables/TableListing.h"

using namespace korvanta;
using robust::Ident;
using testdb::psql;
using testdb::sqlite;
using Rows = std::vector<std::string>;

namespace {

// Stops and restarts the shared server; whatever happens in the test, the server is
// running again when the switch goes.
class ServerSwitch {
  public:
    // A test that ended without its switch (the program crashed) left the server stopped:
    // it starts again here, so that one crash does not fail every test after it.
    ServerSwitch()
        : control_(robust::Environment("KV_PG_CTL")), folder_(robust::Environment("KV_DBENV_DIR")) {
        std::system((control_ + " pgctl " + folder_ + " ensure >/dev/null 2>&1").c_str());
    }
    ~ServerSwitch() {
        if (stopped_)
            std::system((control_ + " pgctl " + folder_ + " ensure >/dev/null 2>&1").c_str());
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

// One case: the direction, whether rows go one INSERT each, the rows of the big table,
// and the progress at which the server stops.
struct StopCase {
    const char* name;
    bool towardsPostgreSQL;
    bool oneStatementPerRow;
    int rows;
    double stopAtPercent;
};

void PrintTo(const StopCase& c, std::ostream* out) {
    *out << c.name;
}

class ServerStop : public ::testing::TestWithParam<StopCase> {
  protected:
    // The program starts with the test databases stored: it lands on the table window.
    void LandOnTableWindow() {
        program.form1.Form_Load();
        ASSERT_TRUE(program.form2.isVisible()) << program.Reports();
    }

    // Stops the server once the progress bar shows the given share of the first table,
    // while its rows are still going.
    void StopAt(double percent) {
        QObject::connect(program.form2.ProgressBar1, &ProgressBar::ValueSet,
                         [this, percent](double value) {
                             if (value >= percent && value < 100 && !server.Stopped())
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
};

// The PostgreSQL server stops while the rows of a large table go, as the target or as
// the source: one report of the failing step and one saying how many rows arrived, the
// run ends (the next table is never sent), the rows written before stay, nothing after
// them is half written, and the window stays usable.
TEST_P(ServerStop, EndsTheRunWithOneReportAndKeepsWhatWasWritten) {
    const StopCase& c = GetParam();
    const std::string big = testdb::uniqueName("stop_b_big");
    const std::string later = testdb::uniqueName("stop_a_later");  // sorts first: sent last
    const std::string rows = std::to_string(c.rows);
    if (c.towardsPostgreSQL) {
        sqlite("CREATE TABLE " + Ident(big) +
               "(n INTEGER, label TEXT);"
               "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
               rows + ") INSERT INTO " + Ident(big) +
               " SELECT n, 'row ' || n FROM c;"
               "CREATE TABLE " +
               Ident(later) + "(n INTEGER); INSERT INTO " + Ident(later) + " VALUES(1);");
    } else {
        // Rows wide enough that the server is still sending when it stops: COPY streams
        // faster than the target takes rows, and the socket's buffers hold megabytes.
        psql("CREATE TABLE " + Ident(big) + " AS SELECT n::int4 AS n, 'row ' || n AS label, " +
             "repeat('x', 400) AS pad FROM generate_series(1, " + rows + ") AS n;" +
             "CREATE TABLE " + Ident(later) + " AS SELECT 1::int4 AS n;");
    }
    if (c.oneStatementPerRow)
        program.settings.Write(keys::kOneStatementPerRow, "1");
    LandOnTableWindow();
    TableList& source = c.towardsPostgreSQL ? *program.form2.List1 : *program.form2.List2;
    TableList& target = c.towardsPostgreSQL ? *program.form2.List2 : *program.form2.List1;
    robust::Pick(source, big);
    robust::Pick(source, later);
    StopAt(c.stopAtPercent);

    (c.towardsPostgreSQL ? program.form2.PushButton3 : program.form2.PushButton4)->click();

    ASSERT_TRUE(server.Stopped());
    ASSERT_EQ(program.dialogs.errorReports().size(), 2) << program.Reports();
    // Towards PostgreSQL the next INSERT finds the server gone; from it, the next fetch.
    const char* where = c.towardsPostgreSQL ? "PushButton3_Click at line 282\r\r"
                                            : "PushButton4_Click at line 262\r\r";
    EXPECT_TRUE(program.dialogs.errorReports()[0].contains(where)) << program.Reports();
    // Each report quotes what ran: the read that failed is quoted as that SELECT, a run of
    // rows as its COPY with the rows it held, never an INSERT that did not run; the report
    // saying how far the table got quotes the same.
    const QString quoted = program.dialogs.errorReports()[0].section("\r\rsql: ", -1);
    if (!c.towardsPostgreSQL) {
        EXPECT_EQ(quoted.toStdString(), "SELECT * FROM ONLY " + Ident(big)) << program.Reports();
    } else if (!c.oneStatementPerRow) {
        EXPECT_TRUE(quoted.startsWith(
            QString::fromStdString("COPY " + Ident(big) + " FROM STDIN -- rows ")))
            << program.Reports();
    }
    EXPECT_TRUE(program.dialogs.errorReports()[1].endsWith("\r\rsql: " + quoted))
        << program.Reports();
    // The table that was created is listed; the entry after it was never sent.
    EXPECT_GE(robust::IndexOf(target, big), 0);
    EXPECT_EQ(robust::IndexOf(target, later), -1);
    ExpectWindowUsable();

    server.Start();
    // The rows that arrived are the first ones, each whole, and not all of them.
    const std::string check = "SELECT count(*) = coalesce(max(n), 0), count(*) < " + rows +
                              ", count(*) = count(CASE WHEN label = 'row ' || n THEN 1 END) FROM " +
                              Ident(big);
    EXPECT_EQ(c.towardsPostgreSQL ? psql(check) : sqlite(check),
              c.towardsPostgreSQL ? Rows{"t|t|t"} : Rows{"1|1|1"});
    // The table never looks complete: the second report gives the rows that arrived, and
    // how many more may have (a statement whose answer the stop cut off).
    const std::string count = "SELECT count(*) FROM " + Ident(big);
    const Rows arrived = c.towardsPostgreSQL ? psql(count) : sqlite(count);
    ASSERT_EQ(arrived.size(), 1u);
    const QRegularExpressionMatch stopped =
        QRegularExpression("stopped: (\\d+) of " + QString::fromStdString(rows) +
                           " rows arrived(?:, and whether (\\d+) more did could not be learned)?")
            .match(program.dialogs.errorReports()[1]);
    ASSERT_TRUE(stopped.hasMatch()) << program.Reports();
    const long long landed = stopped.captured(1).toLongLong();
    const long long uncertain = stopped.captured(2).toLongLong();
    EXPECT_GE(std::stoll(arrived[0]), landed) << program.Reports();
    EXPECT_LE(std::stoll(arrived[0]), landed + uncertain) << program.Reports();
    EXPECT_EQ(c.towardsPostgreSQL
                  ? psql("SELECT count(*) FROM pg_tables WHERE tablename = '" + later + "'")
                  : sqlite("SELECT count(*) FROM sqlite_master WHERE name = '" + later + "'"),
              Rows{"0"});
    ExpectBackAndNextWork();
    EXPECT_EQ(program.dialogs.errorReports().size(), 2) << program.Reports();
    psql("DROP TABLE IF EXISTS " + Ident(big) + "; DROP TABLE IF EXISTS " + Ident(later) + ";");
    sqlite("DROP TABLE IF EXISTS " + Ident(big) + "; DROP TABLE IF EXISTS " + Ident(later) + ";");
}

INSTANTIATE_TEST_SUITE_P(
    Robustness, ServerStop,
    ::testing::Values(StopCase{"TowardsPostgreSQLInRuns", true, false, 300000, 20},
                      StopCase{"TowardsPostgreSQLRowByRow", true, true, 20000, 1},
                      StopCase{"FromPostgreSQLInRuns", false, false, 300000, 20},
                      StopCase{"FromPostgreSQLRowByRow", false, true, 100000, 1}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// Where an exact send's table stands when the server stops as it makes a part of it.
struct StepCase {
    const char* name;
    const char* statement;  // the step's statement holds this
    const char* what;       // and the summary names it so (after the tables' common name)
    bool childSent;         // the second table got its rows before the stop
};

void PrintTo(const StepCase& c, std::ostream* out) {
    *out << c.name;
}

class SchemaStepStop : public ::testing::TestWithParam<StepCase> {
  protected:
    ServerSwitch server;
};

// Records an exact send, and stops the server as the statement of the case is about to run.
class StoppingRecorder final : public TransferListener {
  public:
    StoppingRecorder(ServerSwitch& server, const char* part) : server_(server), part_(part) {}
    bool AskOverwrite(const std::string&) override { return false; }
    void Failed(int, const adodb::Error& error, const std::string&) override {
        reports.push_back(error.what());
    }
    void SchemaStatement(const std::string& statement) override {
        if (statement.find(part_) != std::string::npos && !server_.Stopped())
            server_.Stop();
    }
    void TableFinished(const TableOutcome& outcome) override { outcomes[outcome.source] = outcome; }
    void ForeignKeyFinished(const std::string& source, const std::string& what,
                            KeyFate fate) override {
        keys.push_back(source + ": " + what + (fate == KeyFate::kNotMade ? " (not made)" : ""));
    }

    std::vector<std::string> reports, keys;
    std::map<std::string, TableOutcome> outcomes;

  private:
    ServerSwitch& server_;
    std::string part_;
};

// The server stops as an exact send makes a key, an index or a foreign key: the run ends
// within its time, the table is not complete, and the step cut off and every step after it
// are named, never shown as made.
TEST_P(SchemaStepStop, TheTableIsIncompleteAndNamesEveryStepNotMade) {
    const StepCase& c = GetParam();
    const std::string u = testdb::uniqueName("stop_steps");
    const std::string parent = u + "_p", child = u + "_c";
    sqlite("CREATE TABLE " + parent +
           "(id INTEGER PRIMARY KEY, code TEXT UNIQUE, v INT);"
           "CREATE INDEX " +
           u + "_v ON " + parent +
           "(v);"
           "CREATE TABLE " +
           child + "(id INTEGER PRIMARY KEY, pid INT REFERENCES " + parent + "(id)); INSERT INTO " +
           parent + " VALUES (1, 'a', 1), (2, 'b', 2); INSERT INTO " + child + " VALUES (1, 1);");
    SendRequest request;
    request.target = Side::PostgreSQL;
    request.tables = {parent, child};
    request.values = testdb::connectionValues();
    request.targetTables = ListTableNames(Side::PostgreSQL, request.values);
    request.settings.exactSchema = true;
    request.settings.commandTimeoutSeconds = 30;
    request.freshTablesOnly = true;
    StoppingRecorder recorder(server, c.statement);
    const auto begin = std::chrono::steady_clock::now();
    SendTables(request, recorder);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(60));
    ASSERT_TRUE(server.Stopped());
    ASSERT_FALSE(recorder.reports.empty());
    if (c.childSent) {
        // The tables are in; the foreign key is the step cut off.
        EXPECT_EQ(recorder.keys.size(), 1u);
        EXPECT_NE(recorder.keys.at(0).find("(not made)"), std::string::npos) << recorder.keys[0];
        EXPECT_FALSE(recorder.outcomes.at(parent).stepsMissing);
    } else {
        const TableOutcome& outcome = recorder.outcomes.at(parent);
        EXPECT_TRUE(outcome.stepsMissing);
        EXPECT_EQ(outcome.landed, 2);
        const bool named = std::any_of(
            outcome.notCarried.begin(), outcome.notCarried.end(), [](const std::string& item) {
                return item.find("the connection was lost") != std::string::npos;
            });
        EXPECT_TRUE(named) << ::testing::PrintToString(outcome.notCarried);
        const std::string what = c.what[0] == '_' ? "index " + u + c.what : c.what;
        EXPECT_EQ(std::count(outcome.carried.begin(), outcome.carried.end(), what), 0) << what;
        EXPECT_EQ(std::count_if(outcome.notCarried.begin(), outcome.notCarried.end(),
                                [&](const std::string& item) { return item.rfind(what, 0) == 0; }),
                  1)
            << what << " in " << ::testing::PrintToString(outcome.notCarried);
        EXPECT_EQ(recorder.outcomes.count(child), 0u) << "the run ended before it";
    }
    server.Start();
    psql("DROP TABLE IF EXISTS " + Ident(child) + "; DROP TABLE IF EXISTS " + Ident(parent) + ";");
}

INSTANTIATE_TEST_SUITE_P(
    Robustness, SchemaStepStop,
    ::testing::Values(StepCase{"PrimaryKey", "PRIMARY KEY", "primary key (id)", false},
                      StepCase{"Index", "CREATE INDEX", "_v (v)", false},
                      StepCase{"ForeignKey", "FOREIGN KEY", "", true}),
    [](const ::testing::TestParamInfo<StepCase>& info) { return std::string(info.param.name); });

}  // namespace
