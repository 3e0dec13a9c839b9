// The real failures of the drivers, caused on purpose: another process or session holds a
// lock while ours needs it. IsTransient must say yes to exactly these, and no to a real
// constraint violation and a real syntax error.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "adodb/AdodbTestSupport.h"
#include "adodb/Error.h"
#include "engine/rows/TransientFailure.h"
#include "support/SqliteShell.h"

namespace {

using adodbtest::OpenPostgres;
using adodbtest::ReadAll;

// The error that the action raises; fails the test when it raises none.
adodb::Error ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const adodb::Error& error) {
        return error;
    }
    ADD_FAILURE() << "the statement succeeded";
    return adodb::Error("no error");
}

// A private SQLite file and a connection string for it with a short busy timeout, so that
// the driver gives up waiting for a lock after 100 ms instead of its default 100 s.
class SqliteFile {
  public:
    explicit SqliteFile(const char* journalMode) {
        folder_ = std::filesystem::temp_directory_path() / testdb::uniqueName("kv_transient");
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / "data.sqlite").string();
        testdb::sqlite(std::string("pragma journal_mode=") + journalMode +
                           "; create table t (id integer primary key, v text);"
                           " insert into t values (1, 'a'), (2, 'b'), (3, 'c');",
                       path_);
    }
    ~SqliteFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string connectionString() const {
        return "Driver=SQLite3;Database=" + path_ + ";Timeout=100;StepAPI=1";
    }

  private:
    std::filesystem::path folder_;
    std::string path_;
};

using testdb::SqliteShell;

TEST(TransientFailureSqlite, WriteWhileAnotherProcessHoldsTheWriteLock) {
    SqliteFile file("wal");
    SqliteShell holder(file.path());
    holder.Run("begin immediate; insert into t values (10, 'held');");

    adodb::Connection connection;
    connection.Open(file.connectionString());
    const adodb::Error error =
        ErrorOf([&] { connection.Execute("insert into t values (20, 'ours')"); });
    EXPECT_EQ(error.state(), "HY000") << error.what();
    EXPECT_EQ(error.native(), 5) << error.what();  // SQLITE_BUSY
    EXPECT_TRUE(korvanta::IsTransient(error)) << error.what();

    // Once the other process lets go, the same statement goes through.
    holder.Run("rollback;");
    connection.Execute("insert into t values (20, 'ours')");
    EXPECT_EQ(testdb::sqlite("select v from t where id = 20", file.path()),
              std::vector<std::string>{"ours"});
}

TEST(TransientFailureSqlite, CommitWhileAnotherProcessReads) {
    // Under a rollback journal a commit needs every reader gone.
    SqliteFile file("delete");
    SqliteShell reader(file.path());
    reader.Run("begin; select count(*) from t;");

    adodb::Connection connection;
    connection.Open(file.connectionString());
    connection.BeginTrans();
    connection.Execute("insert into t values (30, 'ours')");
    const adodb::Error error = ErrorOf([&] { connection.CommitTrans(); });
    EXPECT_EQ(error.state(), "HY000") << error.what();
    EXPECT_EQ(error.native(), 5) << error.what();
    EXPECT_TRUE(korvanta::IsTransient(error)) << error.what();
    reader.Run("rollback;");
}

TEST(TransientFailureSqlite, OwnOpenCursorLocksTheTableForGood) {
    // SQLITE_LOCKED comes from our own connection: waiting would not end it.
    SqliteFile file("wal");
    adodb::Connection connection;
    connection.CursorLocation = adodb::adUseServer;
    connection.Open(file.connectionString());
    adodb::Recordset open = connection.Execute("select * from t");
    const adodb::Error error = ErrorOf([&] { connection.Execute("drop table t"); });
    EXPECT_EQ(error.state(), "HY000") << error.what();
    EXPECT_EQ(error.native(), 6) << error.what();  // SQLITE_LOCKED
    EXPECT_FALSE(korvanta::IsTransient(error)) << error.what();
}

// Two sessions of the test database: `holder` takes locks, `ours` runs into them.
class TransientFailurePostgres : public ::testing::Test {
  protected:
    void SetUp() override {
        table_ = testdb::uniqueName("transient");
        testdb::psql("create table " + table_ +
                     " (id int primary key, v int);"
                     " insert into " +
                     table_ + " values (1, 0), (2, 0);");
        holder_ = OpenPostgres();
        ours_ = OpenPostgres();
        ours_.Execute("SET lock_timeout = '200ms'");
    }
    void TearDown() override {
        holder_.Close();
        ours_.Close();
        testdb::psql("drop table if exists " + table_);
    }
    // Waits until the session of the backend process is waiting for a lock.
    void AwaitLockWait(const std::string& pid) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (testdb::psql("select wait_event_type from pg_stat_activity where pid = " + pid) !=
               std::vector<std::string>{"Lock"}) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no lock wait of " << pid;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    static std::string BackendPid(adodb::Connection& connection) {
        adodb::Recordset records = connection.Execute("select pg_backend_pid()");
        return *ReadAll(records).at(0).at(0);
    }

    std::string table_;
    adodb::Connection holder_;
    adodb::Connection ours_;
};

TEST_F(TransientFailurePostgres, LockTimeoutOnInsertAndDrop) {
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"ACCESS EXCLUSIVE", "insert into " + table_ + " values (3, 0)"},
        {"ROW EXCLUSIVE", "drop table " + table_},
    };
    for (const auto& [mode, statement] : rows) {
        SCOPED_TRACE(statement);
        holder_.BeginTrans();
        holder_.Execute("lock table " + table_ + " in " + mode + " mode");
        const adodb::Error error = ErrorOf([&] { ours_.Execute(statement); });
        holder_.RollbackTrans();
        EXPECT_EQ(error.state(), "55P03") << error.what();
        EXPECT_TRUE(korvanta::IsTransient(error)) << error.what();
    }
}

TEST_F(TransientFailurePostgres, Deadlock) {
    // The holder waits long before looking for a deadlock, so ours is the one rolled back.
    holder_.Execute("SET deadlock_timeout = '30s'");
    ours_.Execute("SET deadlock_timeout = '50ms'");
    holder_.BeginTrans();
    ours_.BeginTrans();
    holder_.Execute("update " + table_ + " set v = 1 where id = 1");
    ours_.Execute("update " + table_ + " set v = 2 where id = 2");
    const std::string holderPid = BackendPid(holder_);
    auto blocked = std::async(std::launch::async, [&] {
        holder_.Execute("update " + table_ + " set v = 1 where id = 2");
    });
    AwaitLockWait(holderPid);
    const adodb::Error error =
        ErrorOf([&] { ours_.Execute("update " + table_ + " set v = 2 where id = 1"); });
    ours_.RollbackTrans();
    blocked.get();
    holder_.RollbackTrans();
    EXPECT_EQ(error.state(), "40P01") << error.what();
    EXPECT_TRUE(korvanta::IsTransient(error)) << error.what();
}

TEST_F(TransientFailurePostgres, SerializationFailureOnUpdateAndOnCommit) {
    // A row changed after our snapshot was taken.
    ours_.BeginTrans();
    ours_.Execute("SET TRANSACTION ISOLATION LEVEL SERIALIZABLE");
    ours_.Execute("select * from " + table_);
    holder_.Execute("update " + table_ + " set v = 5 where id = 1");
    const adodb::Error onUpdate =
        ErrorOf([&] { ours_.Execute("update " + table_ + " set v = 6 where id = 1"); });
    ours_.RollbackTrans();
    EXPECT_EQ(onUpdate.state(), "40001") << onUpdate.what();
    EXPECT_TRUE(korvanta::IsTransient(onUpdate)) << onUpdate.what();

    // Write skew: each reads what the other writes; the second commit is refused.
    for (adodb::Connection* session : {&holder_, &ours_}) {
        session->BeginTrans();
        session->Execute("SET TRANSACTION ISOLATION LEVEL SERIALIZABLE");
    }
    holder_.Execute("select sum(v) from " + table_ + " where id >= 100");
    ours_.Execute("select sum(v) from " + table_ + " where id < 100");
    holder_.Execute("insert into " + table_ + " values (5, 1)");
    ours_.Execute("insert into " + table_ + " values (100, 1)");
    holder_.CommitTrans();
    const adodb::Error onCommit = ErrorOf([&] { ours_.CommitTrans(); });
    EXPECT_EQ(onCommit.state(), "40001") << onCommit.what();
    EXPECT_TRUE(korvanta::IsTransient(onCommit)) << onCommit.what();
}

TEST_F(TransientFailurePostgres, CopyThroughLibpqRunsIntoLockTimeout) {
    const testdb::PgLogin login = testdb::pg();
    const char* keywords[] = {"host", "port", "user", "password", "dbname", nullptr};
    const char* values[] = {login.server.c_str(),   login.port.c_str(),     login.user.c_str(),
                            login.password.c_str(), login.database.c_str(), nullptr};
    PGconn* copy = PQconnectdbParams(keywords, values, 0);
    ASSERT_EQ(PQstatus(copy), CONNECTION_OK) << PQerrorMessage(copy);
    PQclear(PQexec(copy, "SET lock_timeout = '200ms'"));

    holder_.BeginTrans();
    holder_.Execute("lock table " + table_ + " in share mode");
    PGresult* result = PQexec(copy, ("copy " + table_ + " (id, v) from stdin").c_str());
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    // How the COPY path hands a failure on: libpq has no native code.
    const adodb::Error error(PQresultErrorMessage(result), state != nullptr ? state : "");
    const ExecStatusType status = PQresultStatus(result);
    PQclear(result);
    PQfinish(copy);
    holder_.RollbackTrans();

    EXPECT_EQ(status, PGRES_FATAL_ERROR);
    EXPECT_EQ(error.state(), "55P03") << error.what();
    EXPECT_TRUE(korvanta::IsTransient(error)) << error.what();
}

TEST(TransientFailurePermanent, ConstraintViolationAndSyntaxErrorAreNot) {
    SqliteFile file("wal");
    adodb::Connection sqlite;
    sqlite.Open(file.connectionString());
    adodb::Connection postgres = OpenPostgres();
    const std::string pgTable = testdb::uniqueName("permanent");
    postgres.Execute("create temporary table " + pgTable + " (id int primary key)");
    postgres.Execute("insert into " + pgTable + " values (1)");
    struct Row {
        const char* what;
        adodb::Connection& connection;
        std::string statement;
        const char* state;
        int native;
    };
    const std::vector<Row> rows = {
        {"PostgreSQL duplicate key", postgres, "insert into " + pgTable + " values (1)", "23505",
         1},
        {"PostgreSQL syntax error", postgres, "selec 1", "42601", 1},
        {"SQLite duplicate key", sqlite, "insert into t values (1, 'again')", "HY000", 19},
        {"SQLite syntax error", sqlite, "selec 1", "HY000", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const adodb::Error error = ErrorOf([&] { row.connection.Execute(row.statement); });
        EXPECT_EQ(error.state(), row.state) << error.what();
        EXPECT_EQ(error.native(), row.native) << error.what();
        EXPECT_FALSE(korvanta::IsTransient(error)) << error.what();
    }
}

}  // namespace
