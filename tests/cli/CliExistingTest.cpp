// Rows into a table that stands on the target (--if-exists truncate, append, merge): the
// built program against both test databases, in both directions.
#include <QJsonObject>

#include "cli/CliTestSupport.h"

using namespace clitest;
using Rows = std::vector<std::string>;

namespace {

struct Direction {
    const char* to;  // the --to side
    bool toPostgreSQL;
};

class CliExisting : public ::testing::TestWithParam<Direction> {
  protected:
    bool ToPg() const { return GetParam().toPostgreSQL; }
    Rows OnSource(const std::string& sql) const { return ToPg() ? Sqlite(sql) : testdb::psql(sql); }
    Rows OnTarget(const std::string& sql) const { return ToPg() ? testdb::psql(sql) : Sqlite(sql); }
    // The rows as both databases print them: id, name, n, in key order.
    Rows Contents(bool target, const std::string& table) const {
        const std::string sql = "SELECT id, name, n FROM " + Ident(table) + " ORDER BY id";
        return target ? OnTarget(sql) : OnSource(sql);
    }
    // A source table of `rows` rows with a primary key, sent whole with its key.
    std::string SentTable(const char* prefix, int rows) {
        const std::string t = testdb::uniqueName(prefix);
        std::string values;
        for (int id = 1; id <= rows; ++id)
            values += (id > 1 ? ", (" : "(") + std::to_string(id) + ", 'name " +
                      std::to_string(id) + "', " + std::to_string(id * 3) + ")";
        OnSource("CREATE TABLE " + Ident(t) +
                 " (id INTEGER NOT NULL PRIMARY KEY, name VARCHAR(40), n INTEGER); INSERT INTO " +
                 Ident(t) + " VALUES " + values + ";");
        const Result sent = program_.Run({"send", "--to", GetParam().to, t, "--schema", "exact"});
        EXPECT_EQ(sent.status, 0) << sent.err;
        return t;
    }
    QJsonObject Merge(const std::string& t, std::vector<std::string> extra, int status) {
        const std::string json = program_.Dir() + "/merge.json";
        std::vector<std::string> args = {"send",        "--to",  GetParam().to,    t,
                                         "--if-exists", "merge", "--summary-json", json};
        args.insert(args.end(), extra.begin(), extra.end());
        const Result result = program_.Run(args);
        EXPECT_EQ(result.status, status) << result.err << result.out;
        last_ = result;
        return SummaryOf(json, t);
    }
    static void ExpectCounts(const QJsonObject& s, long long inserted, long long updated,
                             long long unchanged, long long refused) {
        EXPECT_EQ(s["inserted"].toInteger(), inserted);
        EXPECT_EQ(s["updated"].toInteger(), updated);
        EXPECT_EQ(s["unchanged"].toInteger(), unchanged);
        EXPECT_EQ(s["refused"].toInteger(), refused);
        EXPECT_EQ(s["read"].toInteger(), inserted + updated + unchanged + refused);
    }

    Program program_;
    Result last_;
};

// Inserts, updates (a Null among them), deletes: one merge brings the target equal, reading
// every row once; --since reads from the target's largest value on; a merge run again
// changes nothing.
TEST_P(CliExisting, MergeMakesTheTargetEqualAndConverges) {
    const std::string t = SentTable("cli_merge", 2000);
    OnSource("UPDATE " + Ident(t) +
             " SET name = 'renamed' WHERE id % 100 = 0;"
             "UPDATE " +
             Ident(t) +
             " SET n = NULL WHERE id IN (5, 6);"
             "DELETE FROM " +
             Ident(t) +
             " WHERE id BETWEEN 1000 AND 1009;"
             "INSERT INTO " +
             Ident(t) + " SELECT id + 5000, name, n FROM " + Ident(t) + " WHERE id <= 30;");
    QJsonObject s = Merge(t, {"--delete-missing"}, 0);
    ExpectCounts(s, 30, 21, 2020 - 30 - 21, 0);
    EXPECT_EQ(s["keys_compared"].toInteger(), 2020);
    EXPECT_EQ(s["deleted"].toInteger(), 10);
    EXPECT_EQ(s["status"].toString(), "ok");
    EXPECT_EQ(Contents(true, t), Contents(false, t));

    // From the largest id the target holds: that one row, as it is.
    s = Merge(t, {"--since", "id"}, 0);
    ExpectCounts(s, 0, 0, 1, 0);
    s = Merge(t, {"--delete-missing"}, 0);
    ExpectCounts(s, 0, 0, 2020, 0);
    EXPECT_EQ(s["deleted"].toInteger(), 0);
    EXPECT_NE(last_.out.find("merged: 0 inserted, 0 updated, 2020 unchanged; 2020 keys "
                             "compared, 0 deleted"),
              std::string::npos)
        << last_.out;
}

// A row the target refuses (its own rule, not the source's) makes the writer's run fail
// whole; the run is split until that row goes alone, which is reported, and every other
// row is merged and counted. No row is deleted when not every key arrived.
TEST_P(CliExisting, ARowTheTargetRefusesIsReportedAndTheRestMerged) {
    const std::string t = SentTable("cli_merge_refused", 600);
    if (ToPg()) {
        testdb::psql("ALTER TABLE " + Ident(t) + " ADD CHECK (n < 100000) NOT VALID;");
    } else {
        for (const char* when : {"INSERT", "UPDATE"})
            Sqlite("CREATE TRIGGER " + Ident(t + "_" + when) + " BEFORE " + when + " ON " +
                   Ident(t) +
                   " WHEN NEW.n >= 100000 BEGIN SELECT RAISE(ABORT, 'n too large'); "
                   "END;");
    }
    OnSource("UPDATE " + Ident(t) +
             " SET n = 500000 WHERE id = 7;"
             "UPDATE " +
             Ident(t) +
             " SET name = 'changed' WHERE id IN (8, 300);"
             "INSERT INTO " +
             Ident(t) + " VALUES (601, 'new', 1), (602, 'too big', 999999);");
    const QJsonObject s = Merge(t, {}, 1);
    ExpectCounts(s, 1, 2, 600 - 3, 2);
    EXPECT_EQ(OnTarget("SELECT n FROM " + Ident(t) + " WHERE id = 7"), Rows{"21"});
    EXPECT_EQ(OnTarget("SELECT name FROM " + Ident(t) + " WHERE id = 300"), Rows{"changed"});
    EXPECT_EQ(OnTarget("SELECT count(*) FROM " + Ident(t)), Rows{"601"});
}

// A condition the source refuses costs the target's table nothing, whatever the mode: the
// read is open and has answered before anything is dropped or emptied. A condition that
// holds a second statement is refused before anything runs, and the statement never runs.
TEST_P(CliExisting, ACarelessConditionCostsTheTargetNothing) {
    const std::string t = SentTable("cli_where", 50);
    const Rows before = Contents(true, t);
    ASSERT_EQ(before.size(), 50u);
    for (const char* mode : {"replace", "truncate", "append", "merge"}) {
        const Result refused = program_.Run({"send", "--to", GetParam().to, t, "--if-exists", mode,
                                             "--schema", "exact", "--where", "no_such_column = 1"});
        EXPECT_EQ(refused.status, 2) << mode << refused.err;
        EXPECT_EQ(Contents(true, t), before) << mode;
    }
    const std::string victim = testdb::uniqueName("cli_victim");
    OnSource("CREATE TABLE " + Ident(victim) + " (id INTEGER);");
    for (const char* where : {"1=1; DROP TABLE ", "id > 0);DROP TABLE "}) {
        const Result injected =
            program_.Run({"send", "--to", GetParam().to, t, "--if-exists", "truncate", "--where",
                          std::string(where) + Ident(victim)});
        EXPECT_EQ(injected.status, 64) << injected.err;
        EXPECT_NE(injected.err.find("holds a ';'"), std::string::npos) << injected.err;
    }
    EXPECT_EQ(OnSource("SELECT count(*) FROM " + Ident(victim)), Rows{"0"});
    EXPECT_EQ(Contents(true, t), before);
}

// A key that repeats among the source's rows would have the merge keep one row of each and
// count every row as landed: the table is refused, naming the key, and gets no row.
TEST_P(CliExisting, AKeyThatRepeatsInTheSourceMergesNoRow) {
    const std::string t = testdb::uniqueName("cli_repeat");
    OnSource("CREATE TABLE " + Ident(t) + " (id INTEGER NOT NULL, name VARCHAR(40), n INTEGER " +
             "NOT NULL); INSERT INTO " + Ident(t) +
             " VALUES (1, 'a', 3), (2, 'b', 3), (3, 'c', 4), (4, 'd', 5);");
    OnTarget("CREATE TABLE " + Ident(t) + " (id BIGINT NOT NULL, name VARCHAR(40), n BIGINT " +
             "NOT NULL UNIQUE); INSERT INTO " + Ident(t) + " VALUES (9, 'kept', 3);");
    const Rows before = Contents(true, t);
    Merge(t, {"--key", "n"}, 2);
    EXPECT_NE(last_.err.find("repeats among the source's rows ((3))"), std::string::npos)
        << last_.err;
    EXPECT_EQ(Contents(true, t), before);
}

INSTANTIATE_TEST_SUITE_P(BothWays, CliExisting,
                         ::testing::Values(Direction{"postgresql", true},
                                           Direction{"sqlanywhere", false}),
                         [](const auto& info) {
                             return std::string(info.param.toPostgreSQL ? "ToPostgreSQL"
                                                                        : "ToStandIn");
                         });

// truncate empties the table and keeps what depends on it; append adds; a table whose
// columns do not match the source's, or that a merge cannot match rows in, gets no row.
TEST(CliExistingTable, TruncateKeepsItsDependentsAndMismatchesGetNoRow) {
    const std::string t = testdb::uniqueName("cli_truncate");
    const std::string view = t + "_v";
    const std::string role = testdb::uniqueName("kv_reader");
    Sqlite("CREATE TABLE " + Ident(t) + " (id INTEGER PRIMARY KEY, name TEXT); INSERT INTO " +
           Ident(t) + " VALUES (1, 'a'), (2, 'b'), (3, 'c');");
    testdb::psql("CREATE TABLE " + Ident(t) +
                 " (id bigint PRIMARY KEY, name text);"
                 "INSERT INTO " +
                 Ident(t) +
                 " VALUES (100, 'old');"
                 "CREATE VIEW " +
                 Ident(view) + " AS SELECT count(*) AS n FROM " + Ident(t) +
                 ";"
                 "CREATE ROLE " +
                 Ident(role) + "; GRANT SELECT ON " + Ident(t) + " TO " + Ident(role) + ";");
    Program program;
    Result r =
        program.Run({"send", "--to", "postgresql", t, "--if-exists", "truncate", "--verify"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("not verified: its rows went into a table that stood there"),
              std::string::npos)
        << "--verify says which table it could not vouch for\n"
        << r.out;
    EXPECT_EQ(testdb::psql("SELECT n FROM " + Ident(view)), Rows{"3"});
    EXPECT_EQ(testdb::psql("SELECT has_table_privilege('" + role + "', '" + t + "', 'SELECT')"),
              Rows{"t"});
    Sqlite("UPDATE " + Ident(t) + " SET id = id + 10;");
    r = program.Run({"send", "--to", "postgresql", t, "--if-exists", "append"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(PgCount(t), 6);

    struct Refusal {
        const char* what;
        std::string source;  // SQLite statements that change the source table
        std::string target;  // psql statements that change the target table
        std::vector<std::string> args;
        const char* says;
    };
    const Refusal refusals[] = {
        {"a column the target lacks",
         "ALTER TABLE " + Ident(t) + " ADD COLUMN extra TEXT;",
         "",
         {"--if-exists", "append"},
         "column \"extra\" is not on the target"},
        {"a column the source lacks",
         "ALTER TABLE " + Ident(t) + " DROP COLUMN extra;",
         "ALTER TABLE " + Ident(t) + " ADD COLUMN more text;",
         {"--if-exists", "truncate"},
         "the target's column \"more\" is not in the source"},
        {"a type too narrow",
         "",
         "ALTER TABLE " + Ident(t) + " DROP COLUMN more; ALTER TABLE " + Ident(t) +
             " ALTER COLUMN name TYPE varchar(3);",
         {"--if-exists", "truncate"},
         "holds 3 characters, the source values of any length"},
        {"a merge key the target does not keep unique",
         "",
         "ALTER TABLE " + Ident(t) + " ALTER COLUMN name TYPE text;",
         {"--if-exists", "merge", "--key", "name"},
         "no primary key or unique index on (\"name\")"},
        {"a merge key that takes NULL",
         "",
         "UPDATE " + Ident(t) + " SET name = name || id; CREATE UNIQUE INDEX ON " + Ident(t) +
             " (name);",
         {"--if-exists", "merge", "--key", "name"},
         "the key's column \"name\" takes NULL"},
    };
    for (const Refusal& c : refusals) {
        if (!c.source.empty())
            Sqlite(c.source);
        if (!c.target.empty())
            testdb::psql(c.target);
        std::vector<std::string> args = {"send", "--to", "postgresql", t};
        args.insert(args.end(), c.args.begin(), c.args.end());
        r = program.Run(args);
        EXPECT_EQ(r.status, 2) << c.what;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << "\n" << r.err;
        EXPECT_EQ(PgCount(t), 6) << c.what << ": a refused table keeps its rows";
    }
    testdb::psql("DROP VIEW " + Ident(view) + "; DROP TABLE " + Ident(t) + "; DROP ROLE " +
                 Ident(role) + ";");
}

// --since compares instants, not the text of one session's wall clock: the stand-in holds
// times as text in several forms and offsets, and the PostgreSQL session's zone lies east
// or west of UTC; every row at or after the target's latest arrives, both ways.
TEST(CliExistingTable, SinceComparesInstantsWhateverTheZoneAndForm) {
    for (const char* zone : {"Asia/Tokyo", "America/Los_Angeles"}) {
        for (const bool toPg : {true, false}) {
            const std::string t = testdb::uniqueName("cli_since");
            const std::string create = "CREATE TABLE " + Ident(t) +
                                       " (id BIGINT PRIMARY KEY, ts TIMESTAMP WITH TIME ZONE)";
            const auto source = [&](const std::string& sql) {
                return toPg ? Sqlite(sql) : testdb::psql(sql);
            };
            const auto target = [&](const std::string& sql) {
                return toPg ? testdb::psql(sql) : Sqlite(sql);
            };
            Sqlite(create + "; INSERT INTO " + Ident(t) +
                   " VALUES (1, '2024-01-01 09:00:00+00:00'), (2, '2024-01-01T19:00:00+09:00');");
            testdb::psql(create + "; INSERT INTO " + Ident(t) +
                         " VALUES (1, '2024-01-01 09:00:00+00'), (2, '2024-01-01 10:00:00+00');");
            // Newer by the instant, older by the text of either zone's clock.
            source("INSERT INTO " + Ident(t) + " VALUES (3, '2024-01-01 11:00:00+00:00'), " +
                   "(4, '2024-01-01 05:30:00-06:00');");
            Program program;
            const Result r = program.Run({"send", "--to", toPg ? "postgresql" : "sqlanywhere", t,
                                          "--if-exists", "merge", "--since", "ts"},
                                         {{"PGTZ", std::string(zone)}});
            EXPECT_EQ(r.status, 0) << zone << toPg << r.err;
            EXPECT_EQ(target("SELECT id FROM " + Ident(t) + " ORDER BY id"),
                      (Rows{"1", "2", "3", "4"}))
                << zone << " to " << (toPg ? "PostgreSQL" : "the stand-in") << r.out;
        }
    }
}

// The stand-in's connection checks no foreign key unless told: emptying a table, or deleting
// what the source no longer holds, must still leave every row another table refers to, the
// step refused and named, as PostgreSQL would.
TEST(CliExistingTable, RowsAnotherTableRefersToAreNotDeletedOnTheStandIn) {
    const std::string t = testdb::uniqueName("cli_parent"), child = t + "_child";
    testdb::psql("CREATE TABLE " + Ident(t) + " (id int PRIMARY KEY, name text); INSERT INTO " +
                 Ident(t) + " VALUES (2, 'b'), (3, 'c');");
    Sqlite("CREATE TABLE " + Ident(t) + " (id INTEGER PRIMARY KEY, name TEXT); INSERT INTO " +
           Ident(t) + " VALUES (1, 'a'), (2, 'b'); CREATE TABLE " + Ident(child) +
           " (pid INTEGER REFERENCES " + Ident(t) + " (id)); INSERT INTO " + Ident(child) +
           " VALUES (1);");
    const auto ids = [&] { return Sqlite("SELECT id FROM " + Ident(t) + " ORDER BY id"); };
    Program program;
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"--if-exists", "truncate"},
          std::vector<std::string>{"--if-exists", "merge", "--delete-missing"}}) {
        std::vector<std::string> args = {"send", "--to", "sqlanywhere", t};
        args.insert(args.end(), mode.begin(), mode.end());
        const Result r = program.Run(args);
        EXPECT_EQ(r.status, 2) << mode[1] << r.err;
        EXPECT_NE(r.err.find("FOREIGN KEY constraint failed"), std::string::npos)
            << mode[1] << r.err;
        const Rows held = ids();
        EXPECT_NE(std::find(held.begin(), held.end(), "1"), held.end())
            << mode[1] << ": the row the child refers to stays";
    }
    Sqlite("DELETE FROM " + Ident(child) + ";");
    const Result r = program.Run({"send", "--to", "sqlanywhere", t, "--if-exists", "truncate"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ids(), (Rows{"2", "3"}));
}

}  // namespace

namespace {

// A plan file sends its tables in its order, each with its own settings over the defaults;
// a plan with a mistake in it changes nothing.
TEST(CliPlan, EachTableGoesWithItsOwnSettingsAndAMistakeStopsEverything) {
    const std::string a = testdb::uniqueName("cli_plan_a");
    const std::string b = testdb::uniqueName("cli_plan_b");
    const std::string copy = b + "_copy";
    Sqlite("CREATE TABLE " + Ident(a) +
           " (id INTEGER PRIMARY KEY, v TEXT);"
           "INSERT INTO " +
           Ident(a) +
           " VALUES (1, 'x'), (2, 'y');"
           "CREATE TABLE " +
           Ident(b) +
           " (id INTEGER, v TEXT);"
           "INSERT INTO " +
           Ident(b) + " VALUES (1, 'keep'), (2, 'draft'), (3, 'keep');");
    testdb::psql("CREATE TABLE " + Ident(a) +
                 " (id bigint PRIMARY KEY, v text);"
                 "INSERT INTO " +
                 Ident(a) + " VALUES (1, 'old'), (9, 'other');");
    Program program;
    const std::string plan = program.Dir() + "/plan.yaml";
    WriteFile(plan,
              "to: postgresql\n"
              "defaults:\n  if-exists: merge\n"
              "tables:\n"
              "  " +
                  a +
                  ": {}\n"
                  "  " +
                  b + ":\n    target: " + copy + "\n    where: \"v <> 'draft'\"\n");
    const std::string json = program.Dir() + "/s.json";
    Result r = program.Run({"send", "--plan", plan, "--summary-json", json});
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(testdb::psql("SELECT id, v FROM " + Ident(a) + " ORDER BY id"),
              (Rows{"1|x", "2|y", "9|other"}));
    EXPECT_EQ(testdb::psql("SELECT id, v FROM " + Ident(copy) + " ORDER BY id"),
              (Rows{"1|keep", "3|keep"}));
    EXPECT_EQ(SummaryOf(json, b)["target"].toString().toStdString(), copy);

    struct Mistake {
        std::string plan;
        const char* says;
    };
    const Mistake mistakes[] = {
        {"to: postgresql\ntables:\n  " + a + ": {keys: [id]}\n", "line 3: unknown key \"keys\""},
        {"to: postgresql\ntables:\n  " + a + ": {}\n  no_such_table_plan: {}\n",
         "the source has no table \"no_such_table_plan\""},
        {"to: postgresql\ntables:\n  " + a + ": {if-exists: maybe}\n", "if-exists takes"},
        {"tables:\n  " + a + ": {}\n", "to (or --to) names the side"},
        {"to: postgresql\ntables:\n  " + a + ": {}\ntables:\n  " + b + ": {}\n",
         "the key \"tables\" is given twice"},
        {"to: postgresql\ntables:\n  " + a + ": {}\n  " + a + ": {}\n", "is named twice"},
        {"to: postgresql\ntables:\n  " + a + ": {where: " + std::string(100000, '[') + "}\n",
         "nests deeper than"},
        {std::string("t\0o\0:\0 \0p\0", 10), "not UTF-8 text"},
        {"to: postgresql\ntables:\n  " + a + ": {where: \"1=1; DROP TABLE " + a + "\"}\n",
         "holds a ';'"},
    };
    testdb::psql("UPDATE " + Ident(a) + " SET v = 'changed' WHERE id = 1;");
    for (const Mistake& m : mistakes) {
        WriteFile(plan, m.plan);
        r = program.Run({"send", "--plan", plan});
        EXPECT_EQ(r.status, 64) << m.plan;
        EXPECT_NE(r.err.find(m.says), std::string::npos) << r.err;
        EXPECT_EQ(testdb::psql("SELECT v FROM " + Ident(a) + " WHERE id = 1"), Rows{"changed"});
    }
    testdb::psql("DROP TABLE " + Ident(a) + "; DROP TABLE " + Ident(copy) + ";");
}

}  // namespace
