// The built program in a real X window, driven with the mouse and the keyboard as a user
// would drive it: it lands on the table window, sends tables to PostgreSQL, deletes
// tables on both sides, shows its message boxes under their own captions, and ends when
// its window is closed; the window goes on repainting while a statement waits for a lock.
#include <libpq-fe.h>

#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include "RobustnessSupport.h"
#include "XDisplay.h"
#include "app/Twips.h"

using korvanta::Twips;
using Rows = std::vector<std::string>;
using Window = robust::WindowList::Window;

namespace {

// Checks the condition every tenth of a second until it holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int seconds = 30) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

std::string Describe(const std::vector<Window>& windows) {
    std::string text;
    for (const auto& w : windows)
        text +=
            "'" + w.title + "' " + std::to_string(w.width) + "x" + std::to_string(w.height) + "; ";
    return text;
}

// A PostgreSQL database and an ODBC data source (a SQLite file) of the test's own, so
// that "Select All" reaches this test's tables and no other test's.
class OwnDatabases {
  public:
    OwnDatabases() {
        testdb::psql("CREATE DATABASE " + database_ + ";");
        QFile ini(dir_.filePath("odbc.ini"));
        if (!ini.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write odbc.ini");
        ini.write(
            ("[" + dataSource_ + "]\nDriver=SQLite3\nDatabase=" + file_ + "\nStepAPI=1\n").c_str());
    }
    ~OwnDatabases() {
        // WITH (FORCE): a program that failed to end still holds connections.
        try {
            testdb::psql("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE);");
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
    OwnDatabases(const OwnDatabases&) = delete;
    OwnDatabases& operator=(const OwnDatabases&) = delete;

    const std::string& PostgreSQLName() const { return database_; }
    Rows Psql(const std::string& sql) const { return testdb::psql(sql, database_); }
    Rows Sqlite(const std::string& sql) const { return testdb::sqlite(sql, file_); }

    // Writes the program's settings, on these databases, and returns the environment that
    // makes the program read them and know the data source.
    std::vector<std::string> ProgramEnvironment() const {
        korvanta::ConnectionValues values = testdb::connectionValues();
        values.database = QString::fromStdString(database_);
        values.dataSourceName = QString::fromStdString(dataSource_);
        testdb::storeConnectionValues(dir_.filePath("config/Quillmere.ini"), values);
        return {"XDG_CONFIG_HOME=" + dir_.filePath("config").toStdString(),
                "ODBCINI=" + dir_.filePath("odbc.ini").toStdString()};
    }

  private:
    QTemporaryDir dir_;
    const std::string database_ = testdb::uniqueName("own_db");
    const std::string dataSource_ = testdb::uniqueName("OwnSource");
    const std::string file_ = dir_.filePath("own.sqlite").toStdString();
};

// The built program on a virtual screen of the test's own.
class RealWindow : public testing::Test {
  protected:
    // Starts the program and waits for the table window, the only window on screen: 8040
    // twips wide, and as high as the bottom of "< Back" plus 580 twips (without a window
    // manager there is no frame). The connection window, 5175 twips high, never shows.
    void Start(std::vector<std::string> environment) {
        environment.push_back(display_);
        environment.push_back("QT_QPA_PLATFORM=xcb");
        program_ = std::make_unique<robust::ChildProcess>(
            std::vector<std::string>{"timeout", "120", KV_PROGRAM}, environment);
        const int width = Twips(8040);
        const int height = Twips(4980) + Twips(405) + Twips(580);
        std::vector<Window> shown;
        ASSERT_TRUE(WaitFor([&] {
            shown = windows_.Viewable();
            return shown.size() == 1 && shown[0].title == "Korvanta" && shown[0].width == width &&
                   shown[0].height == height;
        })) << Describe(shown);
        tableWindow_ = shown[0].id;
    }

    int Xdotool(const std::string& arguments) const {
        return std::system(("env " + display_ + " timeout 20 xdotool " + arguments).c_str());
    }

    // A click at a point of the table window, in twips from its top left corner.
    void Click(int twipsX, int twipsY) const {
        ASSERT_EQ(Xdotool("mousemove --window " + std::to_string(tableWindow_) + " " +
                          std::to_string(Twips(twipsX)) + " " + std::to_string(Twips(twipsY)) +
                          " click 1"),
                  0);
    }
    // A click in the middle of a button of a group: the groups stand at 120 twips from
    // the top, the SQL Anywhere group at 120 from the left, the PostgreSQL one at 4080.
    void ClickButton(int groupLeft, int left, int top, int width) const {
        Click(groupLeft + left + width / 2, 120 + top + 405 / 2);
    }

    // Waits for a message box over the table window and answers it with Return (its
    // default button); returns its caption, or "(none)" when none came.
    std::string AnswerMessageBox() {
        std::vector<Window> shown;
        Window box{};
        const bool came = WaitFor([&] {
            shown = windows_.Viewable();
            for (const Window& w : shown) {
                if (w.id != tableWindow_ && w.id != answered_) {
                    box = w;
                    return true;
                }
            }
            return false;
        });
        if (!came)
            return "(none) " + Describe(shown);
        answered_ = box.id;
        const std::string id = std::to_string(box.id);
        EXPECT_EQ(Xdotool("windowfocus --sync " + id + " key Return"), 0);
        EXPECT_TRUE(WaitFor([&] {
            for (const Window& w : windows_.Viewable()) {
                if (w.id == box.id)
                    return false;
            }
            return true;
        })) << "'"
            << box.title << "' did not go on Return";
        return box.title;
    }

    std::vector<Window> Shown() const { return windows_.Viewable(); }
    const std::string& Display() const { return screen_.Display(); }

    // Closes the table window as its close box would; the program must end with it.
    void CloseAndExpectTheEnd() {
        windows_.RequestClose(tableWindow_);
        ASSERT_TRUE(program_->WaitForEnd(30)) << "the program did not end when its window closed";
        EXPECT_EQ(program_->ExitCode(), 0);
    }

    unsigned long TableWindow() const { return tableWindow_; }

  private:
    robust::VirtualScreen screen_;
    robust::WindowList windows_{screen_.Display()};
    const std::string display_ = "DISPLAY=" + screen_.Display();
    std::unique_ptr<robust::ChildProcess> program_;
    unsigned long tableWindow_ = 0;
    unsigned long answered_ = 0;
};

// Button places in twips inside their group (Form2Layout.cpp).
constexpr int kSqlAnywhereGroup = 120;
constexpr int kPostgreSQLGroup = 4080;

TEST_F(RealWindow, StartsOnTheTableWindowSendsATableWithTheMouseAndEndsWhenClosed) {
    // A table that sorts first in the SQL Anywhere list, so it is the first row.
    const std::string table = testdb::uniqueName("aaa");
    testdb::sqlite("CREATE TABLE " + robust::Ident(table) +
                   "(n INTEGER, label TEXT); INSERT INTO " + robust::Ident(table) +
                   " VALUES(1, 'one'), (2, 'two');");
    QTemporaryDir home;
    robust::StoreTestDatabases(home.filePath("config/Quillmere.ini"));
    ASSERT_NO_FATAL_FAILURE(Start({"XDG_CONFIG_HOME=" + home.filePath("config").toStdString()}));

    // A click on the first row of List1 (group at 120,120 twips, list at 240,360 inside it);
    // typing the name then picks the table whatever else the list holds.
    ASSERT_EQ(Xdotool("mousemove --window " + std::to_string(TableWindow()) + " " +
                      std::to_string(Twips(120 + 240) + 6) + " " +
                      std::to_string(Twips(120 + 360) + 4) + " click 1"),
              0);
    ASSERT_EQ(Xdotool("type --delay 30 " + table), 0);
    ClickButton(kSqlAnywhereGroup, 240, 2638, 3330);  // "Send Table/s To PostgreSQL"

    const std::string count = "SELECT count(*) FROM pg_tables WHERE tablename = '" + table + "'";
    EXPECT_TRUE(WaitFor([&] {
        return testdb::psql(count) == Rows{"1"} &&
               testdb::psql("SELECT count(*) FROM " + robust::Ident(table)) == Rows{"2"};
    })) << "the table did not arrive";
    EXPECT_EQ(testdb::psql("SELECT n, label FROM " + robust::Ident(table) + " ORDER BY n"),
              (Rows{"1|one", "2|two"}));
    // No message box came up: the table window is still the only window.
    EXPECT_EQ(Shown().size(), 1u) << Describe(Shown());

    CloseAndExpectTheEnd();
    testdb::psql("DROP TABLE " + robust::Ident(table));
    testdb::sqlite("DROP TABLE " + robust::Ident(table));
}

// "Select All" alone is choice enough for "Send Table/s To PostgreSQL"; the error report
// and the overwrite question carry exactly their own captions.
TEST_F(RealWindow, SelectAllThenSendSendsEveryTableAndTheBoxesKeepTheirCaptions) {
    OwnDatabases own;
    // Sent from the last entry up: d, then c (gone by then: an error report), then b
    // (already in PostgreSQL: the overwrite question), then a.
    own.Sqlite(
        "CREATE TABLE a_sent(n INTEGER, label TEXT); INSERT INTO a_sent VALUES(1, 'one');"
        "CREATE TABLE b_both(n INTEGER, label TEXT); INSERT INTO b_both VALUES(2, 'new');"
        "CREATE TABLE c_gone(n INTEGER); CREATE TABLE d_sent(n INTEGER); "
        "INSERT INTO d_sent VALUES(4), (5);");
    own.Psql("CREATE TABLE b_both(n int4, label text); INSERT INTO b_both VALUES(9, 'old');");
    ASSERT_NO_FATAL_FAILURE(Start(own.ProgramEnvironment()));
    own.Sqlite("DROP TABLE c_gone;");  // listed, but no longer there to be read

    ClickButton(kSqlAnywhereGroup, 240, 2158, 1600);  // "Select All"
    ClickButton(kSqlAnywhereGroup, 240, 2638, 3330);  // "Send Table/s To PostgreSQL"
    EXPECT_EQ(AnswerMessageBox(), "Application Error");
    EXPECT_EQ(AnswerMessageBox(), "Overwrite?");  // Return answers Yes

    const std::string tables =
        "SELECT string_agg(tablename, ',' ORDER BY tablename) FROM pg_tables "
        "WHERE schemaname = 'public'";
    EXPECT_TRUE(WaitFor([&] {
        return own.Psql(tables) == Rows{"a_sent,b_both,d_sent"} &&
               own.Psql("SELECT count(*) FROM a_sent") == Rows{"1"};
    })) << own.Psql(tables)[0];
    EXPECT_EQ(own.Psql("SELECT n, label FROM b_both"), Rows{"2|new"}) << "overwritten";
    EXPECT_EQ(own.Psql("SELECT n FROM d_sent ORDER BY n"), (Rows{"4", "5"}));
    EXPECT_EQ(Shown().size(), 1u) << Describe(Shown());
    CloseAndExpectTheEnd();
}

// The list that has the focus when the window shows has no current entry: "Delete
// Table/s" asks for a choice. After "Select All" it drops every listed table.
TEST_F(RealWindow, DeleteAsksForAChoiceThenSelectAllThenDeleteDropsEveryTable) {
    OwnDatabases own;
    own.Sqlite("CREATE TABLE lite_one(n INTEGER); CREATE TABLE lite_two(n INTEGER);");
    own.Psql(
        "CREATE TABLE pg_one(n int4); CREATE TABLE pg_two(n int4); "
        "CREATE TABLE pg_three(n int4);");
    ASSERT_NO_FATAL_FAILURE(Start(own.ProgramEnvironment()));
    const std::string liteTables = "SELECT count(*) FROM sqlite_master WHERE type = 'table'";
    const std::string pgTables = "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'";

    ClickButton(kSqlAnywhereGroup, 240, 3118, 3330);  // "Delete Table/s", nothing chosen
    EXPECT_EQ(AnswerMessageBox(), "Korvanta") << "the notice asking for a table";
    EXPECT_EQ(own.Sqlite(liteTables), Rows{"2"});

    ClickButton(kPostgreSQLGroup, 240, 2160, 1600);  // "Select All"
    ClickButton(kPostgreSQLGroup, 240, 3120, 3330);  // "Delete Table/s"
    EXPECT_TRUE(WaitFor([&] { return own.Psql(pgTables) == Rows{"0"}; }));
    ClickButton(kSqlAnywhereGroup, 240, 2158, 1600);  // "Select All"
    ClickButton(kSqlAnywhereGroup, 240, 3118, 3330);  // "Delete Table/s"
    EXPECT_TRUE(WaitFor([&] { return own.Sqlite(liteTables) == Rows{"0"}; }));
    EXPECT_EQ(Shown().size(), 1u) << Describe(Shown());
    CloseAndExpectTheEnd();
}

// A PostgreSQL session of the test's own that holds a table locked until Release.
class LockHolder {
  public:
    LockHolder(const std::string& database, const std::string& table) {
        const testdb::PgLogin login = testdb::pg();
        const char* keys[] = {"host", "port", "user", "password", "dbname", nullptr};
        const char* values[] = {login.server.c_str(),   login.port.c_str(), login.user.c_str(),
                                login.password.c_str(), database.c_str(),   nullptr};
        connection_ = PQconnectdbParams(keys, values, 0);
        if (PQstatus(connection_) != CONNECTION_OK)
            throw std::runtime_error(PQerrorMessage(connection_));
        Exec("BEGIN; LOCK TABLE " + robust::Ident(table) + " IN ACCESS EXCLUSIVE MODE;");
    }
    ~LockHolder() { PQfinish(connection_); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    void Release() { Exec("COMMIT"); }

  private:
    void Exec(const std::string& sql) {
        PGresult* result = PQexec(connection_, sql.c_str());
        const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
        if (!ok)
            throw std::runtime_error(PQerrorMessage(connection_));
    }
    PGconn* connection_ = nullptr;
};

// A send reads each entry's selection when its walk reaches it, and Select All, Deselect
// All and Help work while it runs. The first table walked (the last entry) waits in its
// DROP for another session's lock, and meanwhile the user changes the selection.
TEST_F(RealWindow, TheSelectionIsReadWhenTheWalkReachesEachTable) {
    OwnDatabases own;
    own.Sqlite(
        "CREATE TABLE a_one(n INTEGER); INSERT INTO a_one VALUES(1);"
        "CREATE TABLE a_two(n INTEGER); INSERT INTO a_two VALUES(2);"
        "CREATE TABLE z_held(n INTEGER); INSERT INTO z_held VALUES(3);");
    own.Psql("CREATE TABLE z_held(n int4);");
    ASSERT_NO_FATAL_FAILURE(Start(own.ProgramEnvironment()));
    const std::string waiting =
        "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
        "wait_event_type = 'Lock' AND query LIKE 'DROP TABLE%'";
    const auto sent = [&](const std::string& table) {
        return own.Psql("SELECT count(*) FROM pg_tables WHERE tablename = '" + table + "'") ==
               Rows{"1"};
    };

    // Everything selected, then deselected while z_held waits: only z_held goes.
    {
        LockHolder holder(own.PostgreSQLName(), "z_held");
        ClickButton(kSqlAnywhereGroup, 240, 2158, 1600);  // "Select All"
        ClickButton(kSqlAnywhereGroup, 240, 2638, 3330);  // "Send Table/s To PostgreSQL"
        EXPECT_EQ(AnswerMessageBox(), "Overwrite?");
        ASSERT_TRUE(WaitFor([&] { return own.Psql(waiting) == Rows{"1"}; }, 10));
        ClickButton(kSqlAnywhereGroup, 1960, 2158, 1600);  // "Deselect All"
        Click(4080 + 3840 / 2, 4980 + 405 / 2);            // "Help"
        EXPECT_EQ(AnswerMessageBox(), "Korvanta") << "Help answers during a run";
        holder.Release();
    }
    ASSERT_TRUE(WaitFor([&] { return own.Psql("SELECT count(*) FROM z_held") == Rows{"1"}; }));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_FALSE(sent("a_one"));
    EXPECT_FALSE(sent("a_two"));

    // z_held alone selected, then everything while it waits: the rest goes too.
    {
        LockHolder holder(own.PostgreSQLName(), "z_held");
        ASSERT_EQ(Xdotool("mousemove --window " + std::to_string(TableWindow()) + " " +
                          std::to_string(Twips(120 + 240) + 6) + " " +
                          std::to_string(Twips(120 + 360) + 4) + " click 1"),
                  0);
        ASSERT_EQ(Xdotool("type --delay 30 z_held"), 0);
        ClickButton(kSqlAnywhereGroup, 240, 2638, 3330);  // "Send Table/s To PostgreSQL"
        EXPECT_EQ(AnswerMessageBox(), "Overwrite?");
        ASSERT_TRUE(WaitFor([&] { return own.Psql(waiting) == Rows{"1"}; }, 10));
        ClickButton(kSqlAnywhereGroup, 240, 2158, 1600);  // "Select All"
        holder.Release();
    }
    EXPECT_TRUE(WaitFor([&] { return sent("a_one") && sent("a_two"); }));
    EXPECT_EQ(own.Psql("SELECT n FROM a_one"), Rows{"1"});
    EXPECT_EQ(own.Psql("SELECT n FROM z_held"), Rows{"3"});
    EXPECT_EQ(Shown().size(), 1u) << Describe(Shown());
    CloseAndExpectTheEnd();
}

// "Delete Table/s" on the PostgreSQL side while another session holds the table: the
// DROP waits for the lock, and all the while the window repaints when asked (a window
// that is uncovered or moved needs that), then drops the table once the lock goes.
TEST_F(RealWindow, TheWindowRepaintsWhileDeleteWaitsForAnotherSessionsLock) {
    OwnDatabases own;
    own.Psql("CREATE TABLE held(n int4);");
    ASSERT_NO_FATAL_FAILURE(Start(own.ProgramEnvironment()));
    robust::RepaintWatch watch(Display(), TableWindow());
    LockHolder holder(own.PostgreSQLName(), "held");

    ClickButton(kPostgreSQLGroup, 240, 2160, 1600);  // "Select All": "held" alone
    ClickButton(kPostgreSQLGroup, 240, 3120, 3330);  // "Delete Table/s"
    const std::string waiting =
        "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
        "wait_event_type = 'Lock' AND query LIKE 'DROP TABLE%'";
    ASSERT_TRUE(WaitFor([&] { return own.Psql(waiting) == Rows{"1"}; }, 10))
        << "the DROP did not come to wait for the lock";

    // A repaint asked for every 50 ms; one that came 100 ms after the last means the
    // window thread was held up.
    const robust::RepaintWatch::Result seen =
        watch.Watch(std::chrono::milliseconds(1500), std::chrono::milliseconds(50));
    std::printf("Longest time without a repaint while DROP waited: %lld ms (%d repaints)\n",
                static_cast<long long>(seen.longestGap.count()), seen.repaints);
    EXPECT_LT(seen.longestGap, std::chrono::milliseconds(100)) << seen.repaints << " repaints";
    // The whole watch fell inside the wait.
    EXPECT_EQ(own.Psql(waiting), Rows{"1"});

    holder.Release();
    const std::string tables = "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'";
    EXPECT_TRUE(WaitFor([&] { return own.Psql(tables) == Rows{"0"}; }, 10)) << "not dropped";
    EXPECT_EQ(Shown().size(), 1u) << "an error report: " << Describe(Shown());
    // The entry went with the table: the list is empty, so nothing is chosen any more.
    ClickButton(kPostgreSQLGroup, 240, 3120, 3330);  // "Delete Table/s"
    EXPECT_EQ(AnswerMessageBox(), "Korvanta") << "the notice asking for a table";
    CloseAndExpectTheEnd();
}

}  // namespace
