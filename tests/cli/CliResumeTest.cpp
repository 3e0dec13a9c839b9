// send --resume after the program was killed (SIGKILL) at several moments: every table
// ends exactly equal to its source, with its keys, no row doubled or lost, and no more read
// than what was missing.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <csignal>
#include <thread>

#include <libpq-fe.h>

#include "cli/CliTestSupport.h"
#include "engine/send/TableWriterLock.h"

using namespace clitest;
using Rows = std::vector<std::string>;

namespace {

constexpr int kRows = 400000;

// Waits (at most a minute) until the condition holds while the program runs.
// Generous: the program shares the stand-in's file with tests running beside it, and may
// wait its turn for the file's lock for minutes under a sanitizer.
bool Until(Program& program, const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(4);
    while (program.Running() && std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

long long Count(bool postgreSQL, const std::string& table) {
    const std::string sql = "SELECT count(*) FROM " + Ident(table);
    try {
        return std::stoll((postgreSQL ? testdb::psql(sql) : Sqlite(sql)).at(0));
    } catch (const std::exception&) {
        return -1;  // not there yet
    }
}

QJsonArray StateList(const std::string& file, const char* key) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(file)))
        .object()
        .value(key)
        .toArray();
}

enum class Key { kInteger, kTwoIntegers, kText };

struct Moment {
    const char* what;
    bool toPostgreSQL;
    Key key = Key::kInteger;  // the first table's primary key
};

class CliResume : public ::testing::TestWithParam<Moment> {};

// Two tables (the second's foreign key refers to the first), sent exactly, the program
// killed at the moment, then carried on.
TEST_P(CliResume, EndsExactAfterAKillAt) {
    const Moment m = GetParam();
    const bool pg = m.toPostgreSQL;
    const std::string a = testdb::uniqueName("cli_resume_a");
    const std::string b = testdb::uniqueName("cli_resume_b");
    // A key of two columns (k, id) orders the rows k first, a text key 'c10' before 'c2':
    // the rows after the last one that landed are not simply those of a larger id.
    const bool integer = m.key == Key::kInteger;
    const std::string aTable =
        m.key == Key::kTwoIntegers
            ? " (k INTEGER NOT NULL, id INTEGER NOT NULL, v VARCHAR(20), PRIMARY KEY (k, id));"
        : m.key == Key::kText
            ? " (id INTEGER NOT NULL, code VARCHAR(20) NOT NULL PRIMARY KEY, v VARCHAR(20));"
            : " (id INTEGER NOT NULL PRIMARY KEY, v VARCHAR(20));";
    const std::string reference = integer ? " REFERENCES " + Ident(a) + " (id)" : "";
    const std::string create = "CREATE TABLE " + Ident(a) + aTable + "CREATE TABLE " + Ident(b) +
                               " (id INTEGER NOT NULL PRIMARY KEY, a INTEGER" + reference +
                               ", w VARCHAR(20));";
    const std::string aValues = m.key == Key::kTwoIntegers ? "x % 4, x, 'v' || x"
                                : m.key == Key::kText      ? "x, 'c' || x, 'v' || x"
                                                           : "x, 'v' || x";
    const std::string bRows =
        "; INSERT INTO " + Ident(b) + " SELECT id, id, v FROM " + Ident(a) + " WHERE id <= 1000;";
    if (pg) {
        Sqlite(create +
               "WITH RECURSIVE g(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM g WHERE x < " +
               std::to_string(kRows) + ") INSERT INTO " + Ident(a) + " SELECT " + aValues +
               " FROM g" + bRows);
    } else {
        testdb::psql(create + "INSERT INTO " + Ident(a) + " SELECT " + aValues +
                     " FROM generate_series(1, " + std::to_string(kRows) + ") x" + bRows);
    }
    Program program;
    const std::string state = program.Dir() + "/state.json";
    const std::string to = pg ? "postgresql" : "sqlanywhere";
    const std::vector<std::string> send = {"send",     "--to",  to,        a,     b,
                                           "--schema", "exact", "--state", state, "-q"};
    // A second session holds the table so that its key waits after the rows, or holds the
    // second table's writer lock so that the kill lands between the tables however fast the
    // second would go.
    PGconn* holder = nullptr;
    const auto hold = [&] {
        holder = PQconnectdb(("host=" + testdb::pg().server + " port=" + testdb::pg().port +
                              " user=" + testdb::pg().user + " password=" + testdb::pg().password +
                              " dbname=" + testdb::pg().database)
                                 .c_str());
        return PQstatus(holder) == CONNECTION_OK;
    };
    const std::string moment = m.what;
    if (moment == "between") {
        ASSERT_TRUE(hold());
        PQclear(PQexec(holder, ("SELECT pg_advisory_lock(" +
                                std::to_string(korvanta::TableWriterLock::Key(b)) + ")")
                                   .c_str()));
    }
    program.Start(send);
    if (moment == "rows") {
        ASSERT_TRUE(Until(program, [&] { return Count(pg, a) > 0; }));
    } else if (moment == "keys") {
        ASSERT_TRUE(Until(program, [&] {
            return testdb::psql("SELECT to_regclass('" + a + "') IS NOT NULL") == Rows{"t"};
        }));
        ASSERT_TRUE(hold());
        PQclear(
            PQexec(holder, ("BEGIN; LOCK TABLE " + Ident(a) + " IN ACCESS SHARE MODE").c_str()));
        ASSERT_TRUE(Until(program, [&] {
            return testdb::psql(
                       "SELECT count(*) FROM pg_locks l JOIN pg_class c ON c.oid = "
                       "l.relation WHERE NOT l.granted AND c.relname = '" +
                       a + "'") != Rows{"0"};
        }));
    } else {  // between the tables: the first finished
        ASSERT_TRUE(Until(program, [&] { return StateList(state, "finished").size() == 1; }));
    }
    program.Signal(SIGKILL);
    EXPECT_EQ(program.Wait().status, 128 + SIGKILL);
    if (holder != nullptr) {
        PQclear(PQexec(holder, "ROLLBACK"));
        PQfinish(holder);
    }
    const long long there = Count(pg, a);
    if (moment == "rows") {
        EXPECT_LT(there, kRows) << "killed after the rows: the moment was missed";
    }

    // Other tables than the stopped send's are refused, and change nothing.
    Result r =
        program.Run({"send", "--to", to, a, "--schema", "exact", "--state", state, "--resume"});
    EXPECT_EQ(r.status, 64);
    EXPECT_NE(r.err.find("the stopped send had other tables"), std::string::npos) << r.err;

    std::vector<std::string> resume = send;
    const std::string json = program.Dir() + "/summary.json";
    resume.insert(resume.end(), {"--resume", "--summary-json", json});
    r = program.Run(resume);
    EXPECT_EQ(r.status, 0) << r.err;
    const QJsonObject first = SummaryOf(json, a);
    if (moment == "between") {
        EXPECT_EQ(first["status"].toString(), "done-before");
        EXPECT_EQ(first["read"].toInteger(), 0);
    } else {
        EXPECT_EQ(first["status"].toString(), "ok");
        EXPECT_EQ(first["resumed_after"].toInteger(), there);
        EXPECT_EQ(first["read"].toInteger(), kRows - there) << "only the rows missing are read";
    }
    EXPECT_EQ(SummaryOf(json, b)["status"].toString(), "ok");
    const std::string check =
        "SELECT count(*), count(DISTINCT id), min(id), max(id) FROM " + Ident(a);
    EXPECT_EQ(
        pg ? testdb::psql(check) : Sqlite(check),
        Rows{std::to_string(kRows) + "|" + std::to_string(kRows) + "|1|" + std::to_string(kRows)});
    EXPECT_EQ(Count(pg, b), 1000);
    if (pg) {
        // The keys are there once each: the primary keys and the foreign key.
        EXPECT_EQ(
            testdb::psql("SELECT contype, count(*) FROM pg_constraint WHERE conrelid IN ('" + a +
                         "'::regclass, '" + b + "'::regclass) GROUP BY contype ORDER BY contype"),
            (integer ? Rows{"f|1", "p|2"} : Rows{"p|2"}));
    }
}

// A merge killed midway: each run of rows went in whole or not at all, and the same merge
// run again brings the target equal to the source.
TEST(CliMergeKilled, TheSameMergeAgainConverges) {
    const std::string t = testdb::uniqueName("cli_merge_killed");
    testdb::psql("CREATE TABLE " + Ident(t) +
                 " (id integer PRIMARY KEY, v text);"
                 "INSERT INTO " +
                 Ident(t) + " SELECT g, 'v' || g FROM generate_series(1, " + std::to_string(kRows) +
                 ") g;");
    Program program;
    Result r = program.Run({"send", "--to", "sqlanywhere", t, "--schema", "exact", "-q"});
    ASSERT_EQ(r.status, 0) << r.err;
    testdb::psql("UPDATE " + Ident(t) + " SET v = v || ' changed';");
    program.Start({"send", "--to", "sqlanywhere", t, "--if-exists", "merge", "-q"});
    ASSERT_TRUE(Until(program, [&] {
        const Rows changed =
            Sqlite("SELECT count(*) FROM " + Ident(t) + " WHERE v LIKE '% changed'");
        return !changed.empty() && changed[0] != "0";
    }));
    program.Signal(SIGKILL);
    EXPECT_EQ(program.Wait().status, 128 + SIGKILL);
    const std::string changed = "SELECT count(*) FROM " + Ident(t) + " WHERE v LIKE '% changed'";
    EXPECT_LT(std::stoll(Sqlite(changed).at(0)), kRows) << "killed after the merge: missed";
    const std::string json = program.Dir() + "/summary.json";
    r = program.Run(
        {"send", "--to", "sqlanywhere", t, "--if-exists", "merge", "--summary-json", json, "-q"});
    EXPECT_EQ(r.status, 0) << r.err;
    const QJsonObject s = SummaryOf(json, t);
    EXPECT_EQ(s["inserted"].toInteger(), 0);
    EXPECT_EQ(s["updated"].toInteger() + s["unchanged"].toInteger(), kRows);
    EXPECT_GT(s["unchanged"].toInteger(), 0) << "the runs before the kill stayed in";
    EXPECT_EQ(Sqlite(changed), Rows{std::to_string(kRows)});
    EXPECT_EQ(Sqlite("SELECT count(*), count(DISTINCT id) FROM " + Ident(t)),
              Rows{std::to_string(kRows) + "|" + std::to_string(kRows)});
    testdb::psql("DROP TABLE " + Ident(t) + ";");
}

// Into tables that stood on the target, killed midway and carried on: a table finished
// before is left as it is (never appended or emptied again); the cut append is refused,
// as the rows it added cannot be told from the table's own (no row doubled); the cut
// truncate is sent again whole.
TEST(CliExistingKilled, AResumeDoublesNoRowOfATableThatStoodThere) {
    const std::string a = testdb::uniqueName("cli_into_a"), b = testdb::uniqueName("cli_into_b");
    testdb::psql("CREATE TABLE " + Ident(b) + " (id integer PRIMARY KEY, v text); INSERT INTO " +
                 Ident(b) + " SELECT g, 'b' || g FROM generate_series(1, 100) g; CREATE TABLE " +
                 Ident(a) + " (id integer PRIMARY KEY, v text); INSERT INTO " + Ident(a) +
                 " SELECT g, 'a' || g FROM generate_series(1, " + std::to_string(kRows) + ") g;");
    Program program;
    ASSERT_EQ(program.Run({"send", "--to", "sqlanywhere", b, a, "--schema", "exact", "-q"}).status,
              0);
    for (const char* mode : {"append", "truncate"}) {
        SCOPED_TRACE(mode);
        Sqlite("DELETE FROM " + Ident(a) + "; DELETE FROM " + Ident(b) + ";");
        const std::vector<std::string> send = {"send", "--to",        "sqlanywhere", b,
                                               a,      "--if-exists", mode,          "-q"};
        program.Start(send);
        ASSERT_TRUE(Until(program, [&] { return Count(false, a) > 0; }));
        program.Signal(SIGKILL);
        EXPECT_EQ(program.Wait().status, 128 + SIGKILL);
        const long long cut = Count(false, a);
        ASSERT_LT(cut, kRows) << "killed after the rows: the moment was missed";
        std::vector<std::string> resume = send;
        resume.push_back("--resume");
        const Result r = program.Run(resume);
        EXPECT_EQ(Count(false, b), 100) << "the finished table was written again";
        if (std::string(mode) == "append") {
            EXPECT_EQ(r.status, 2) << r.err;
            EXPECT_NE(r.err.find("does not carry on an append"), std::string::npos) << r.err;
            EXPECT_EQ(Count(false, a), cut);
        } else {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(Sqlite("SELECT count(*), count(DISTINCT id) FROM " + Ident(a)),
                      Rows{std::to_string(kRows) + "|" + std::to_string(kRows)});
        }
    }
    testdb::psql("DROP TABLE " + Ident(a) + "; DROP TABLE " + Ident(b) + ";");
}

INSTANTIATE_TEST_SUITE_P(Moments, CliResume,
                         ::testing::Values(Moment{"rows", true}, Moment{"rows", false},
                                           Moment{"rows", false, Key::kTwoIntegers},
                                           Moment{"rows", true, Key::kText},
                                           Moment{"rows", false, Key::kText}, Moment{"keys", true},
                                           Moment{"between", true}),
                         [](const auto& info) {
                             return std::string(info.param.what) +
                                    (info.param.key == Key::kTwoIntegers ? "TwoColumnKey"
                                     : info.param.key == Key::kText      ? "TextKey"
                                                                         : "") +
                                    (info.param.toPostgreSQL ? "ToPostgreSQL" : "ToStandIn");
                         });

}  // namespace
