// The command line as its users run it: the built program, against the test databases.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <functional>
#include <map>
#include <optional>
#include <set>

#include <libpq-fe.h>

#include <sys/stat.h>

#include "cli/CliTestSupport.h"
#include "support/FaultProxy.h"

using namespace clitest;
using Rows = std::vector<std::string>;

namespace {

std::string Hex(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toHex().toStdString();
}

// --- exit statuses -------------------------------------------------------------------

struct StatusCase {
    const char* what;
    std::vector<std::string> args;  // "{t}" stands for the test's table
    int status;
};

TEST(CliExitStatus, EachOutcomeHasItsStatus) {
    const std::string t = testdb::uniqueName("cli_status");
    const std::string clean = testdb::uniqueName("cli_clean");
    Sqlite("CREATE TABLE " + Ident(t) + "(n INTEGER, s TEXT); INSERT INTO " + Ident(t) +
           " VALUES(1, 'a'), ('bad', 'b'), (3, 'c');"
           "CREATE TABLE " +
           Ident(clean) + "(n INTEGER); INSERT INTO " + Ident(clean) + " VALUES(1), (2);");
    const StatusCase cases[] = {
        {"unknown verb", {"frobnicate"}, 64},
        {"unknown option", {"list", "postgresql", "--frob"}, 64},
        {"no password option", {"list", "postgresql", "--password", "x"}, 64},
        {"send without --to", {"send", "{t}"}, 64},
        {"send without tables", {"send", "--to", "postgresql"}, 64},
        {"unknown side", {"send", "--to", "oracle", "{t}"}, 64},
        {"missing argument", {"send", "--to", "postgresql", "{t}", "--jobs"}, 64},
        {"bad number", {"send", "--to", "postgresql", "{t}", "--jobs", "0"}, 64},
        {"send option elsewhere", {"list", "postgresql", "--verify"}, 64},
        {"list without side", {"list"}, 64},
        {"rename without new name", {"rename", "postgresql", "x"}, 64},
        {"bad --if-exists", {"send", "--to", "postgresql", "{t}", "--if-exists", "maybe"}, 64},
        {"every row landed", {"send", "--to", "postgresql", "{c}"}, 0},
        {"refused rows", {"send", "--to", "postgresql", "{t}"}, 1},
        {"existing table, no terminal", {"send", "--to", "postgresql", "{c}"}, 2},
        {"existing table, --if-exists stop",
         {"send", "--to", "postgresql", "{c}", "--if-exists", "stop"},
         2},
        {"existing table, --if-exists skip",
         {"send", "--to", "postgresql", "{c}", "--if-exists", "skip"},
         0},
        {"existing table, --if-exists replace",
         {"send", "--to", "postgresql", "{c}", "--if-exists", "replace"},
         0},
        {"missing source table", {"send", "--to", "postgresql", "no_such_table_cli"}, 2},
        {"pattern matching nothing", {"send", "--to", "postgresql", "zz_no_match_*"}, 2},
        {"unreachable server", {"send", "--to", "sqlanywhere", "x", "-p", "1"}, 2},
        {"rename of a missing table", {"rename", "postgresql", "no_such_cli", "other"}, 2},
        {"delete of a missing table", {"delete", "sqlanywhere", "no_such_cli"}, 2},
        {"no data source", {"list", "sqlanywhere", "--dsn", ""}, 2},
        {"rename to a name PostgreSQL would cut",
         {"rename", "postgresql", "{c}", std::string(70, 'r')},
         2},
    };
    Program program;
    for (const StatusCase& c : cases) {
        std::vector<std::string> args;
        for (const std::string& arg : c.args)
            args.push_back(arg == "{t}" ? t : arg == "{c}" ? clean : arg);
        const Result result = program.Run(args);
        EXPECT_EQ(result.status, c.status) << c.what << "\n" << result.err;
        if (c.status == 64) {
            EXPECT_NE(result.err.find("korvanta --help"), std::string::npos) << c.what;
        }
        if (c.status != 0) {
            EXPECT_FALSE(result.err.empty()) << c.what << ": a failure must say why";
        }
    }
    EXPECT_NE(program.Run({"list", "sqlanywhere", "--dsn", ""}).err.find("--dsn NAME"),
              std::string::npos);
    EXPECT_NE(program.Run({"rename", "postgresql", clean, std::string(70, 'r')})
                  .err.find("keeps only the first 63 bytes"),
              std::string::npos);
    // The clean table was sent once, then kept, then replaced: it holds its two rows once.
    EXPECT_EQ(PgCount(clean), 2);
}

// --help, help VERB and --version need no display and no database.
TEST(CliHelp, WorksWithoutDisplayOrDatabase) {
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {{"--help"}, "Usage: korvanta [VERB"},
        {{"help"}, "Usage: korvanta [VERB"},
        {{"help", "send"}, "Usage: korvanta send --to"},
        {{"send", "--help"}, "Usage: korvanta send --to"},
        {{"help", "list"}, "Usage: korvanta list"},
        {{"help", "delete"}, "Usage: korvanta delete"},
        {{"help", "rename"}, "Usage: korvanta rename"},
        {{"--version"}, "korvanta 7.00\n"},
    };
    const Environment noDisplay = {{"DISPLAY", std::nullopt},
                                   {"WAYLAND_DISPLAY", std::nullopt},
                                   {"QT_QPA_PLATFORM", std::nullopt},
                                   {"ODBCINI", "/nonexistent"},
                                   {"PGPORT", "1"}};
    Program program;
    for (const Case& c : cases) {
        const Result result = program.Run(c.args, noDisplay);
        EXPECT_EQ(result.status, 0) << c.args[0] << result.err;
        EXPECT_EQ(result.out.rfind(c.expected, 0), 0u) << result.out;
        EXPECT_EQ(result.err, "");
    }
    EXPECT_NE(program.Run({"--help"}, noDisplay).out.find("64 usage error"), std::string::npos);
    // Without a verb the windows would start: without a display that is said, not aborted.
    const Result windows = program.Run({}, noDisplay);
    EXPECT_EQ(windows.status, 2) << windows.err;
    EXPECT_NE(windows.err.find("no display"), std::string::npos) << windows.err;
}

// --- list, delete, rename ----------------------------------------------------------

// The lines of a list, each one name.
std::vector<std::string> Lines(const std::string& text, char end = '\n') {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(end, start)) != std::string::npos; start = at + 1)
        lines.push_back(text.substr(start, at - start));
    return lines;
}

// list gives one name per line (a name with a line break in it quoted as a shell reads it
// back; with -0 each name as it is, ended by a NUL), whatever other tables stand beside
// them; delete and rename act on the tables named.
TEST(CliTables, ListDeleteAndRenameOnBothSides) {
    const std::string a = testdb::uniqueName("cli_lst_b");
    const std::string b = testdb::uniqueName("cli_lst_a");
    const std::string odd = testdb::uniqueName("cli_lst_nl") + "\nx";
    Sqlite("CREATE TABLE " + Ident(a) + "(x INTEGER); CREATE TABLE " + Ident(b) +
           "(x INTEGER); CREATE TABLE " + Ident(odd) + "(x INTEGER);");
    testdb::psql("CREATE TABLE " + Ident(a) + "(x int); CREATE TABLE " + Ident(b) +
                 "(x int); CREATE TABLE " + Ident(odd) + "(x int);");
    const std::string quotedOdd = "$'" + odd.substr(0, odd.size() - 2) + "\\nx'";
    Program program;
    for (const std::string side : {"postgresql", "sqlanywhere"}) {
        Result listed = program.Run({"list", side});
        ASSERT_EQ(listed.status, 0) << listed.err;
        const std::vector<std::string> lines = Lines(listed.out);
        const auto pa = std::find(lines.begin(), lines.end(), a);
        const auto pb = std::find(lines.begin(), lines.end(), b);
        ASSERT_NE(pa, lines.end()) << side;
        ASSERT_NE(pb, lines.end()) << side;
        EXPECT_LT(pb, pa) << side << ": b's name sorts first";
        EXPECT_NE(std::find(lines.begin(), lines.end(), quotedOdd), lines.end()) << side;
        const std::vector<std::string> names = Lines(program.Run({"list", side, "-0"}).out, '\0');
        EXPECT_NE(std::find(names.begin(), names.end(), odd), names.end()) << side;

        // The SQL Anywhere dialect (ALTER TABLE a RENAME b) goes out as the window sends
        // it, which the SQLite stand-in refuses.
        const bool renames = side == "postgresql";
        const std::string renamed = renames ? a + "_r" : a;
        EXPECT_EQ(program.Run({"rename", side, a, a + "_r"}).status, renames ? 0 : 2) << side;
        EXPECT_EQ(program.Run({"delete", side, renamed, b, odd}).status, 0) << side;
        listed = program.Run({"list", side});
        EXPECT_EQ(listed.out.find(a), std::string::npos) << side;
        EXPECT_EQ(listed.out.find(b), std::string::npos) << side;
        EXPECT_EQ(listed.out.find(quotedOdd), std::string::npos) << side;
    }
}

// --- the reject file ----------------------------------------------------------------

struct SourceRow {
    std::string n;  // the INTEGER column as SQLite's literal ('bad2' is refused)
    std::optional<std::string> label, note;
    bool refused;
};

std::string SqliteLiteral(const std::optional<std::string>& value) {
    if (!value)
        return "NULL";
    return "CAST(X'" + Hex(*value) + "' AS TEXT)";
}

const std::vector<SourceRow>& RejectRows() {
    static const std::vector<SourceRow> rows = {
        {"1", "plain", "x", false},
        {"'bad2'", "", std::nullopt, true},
        {"3", std::nullopt, "", false},
        {"'bad4'", "comma, \"quote\"\nline two", "back\\slash", true},
        {"'bad5'", "\\.", "tab\there", true},
        {"6",
         std::string("a\xff"
                     "b"),
         "odd", true},
        {"'bad7'", std::nullopt, std::nullopt, true},
    };
    return rows;
}

// The commands of the README's block after the line that starts with `marker`.
std::string ReadmeBlock(const std::string& marker) {
    const std::string readme = ReadFile(KV_SOURCE_DIR "/README.md");
    const auto at = readme.find(marker);
    EXPECT_NE(at, std::string::npos) << marker;
    const auto begin = readme.find("```sh\n", at) + 6;
    return readme.substr(begin, readme.find("```", begin) - begin);
}

Environment PgEnvironment() {
    const testdb::PgLogin pg = testdb::pg();
    return {{"PGHOST", pg.server},
            {"PGPORT", pg.port},
            {"PGUSER", pg.user},
            {"PGPASSWORD", pg.password},
            {"PGDATABASE", pg.database}};
}

int RunShell(const std::string& dir, const std::string& script) {
    std::string exports;
    for (const auto& [name, value] : PgEnvironment())
        exports += "export " + name + "='" + *value + "'; ";
    WriteFile(dir + "/script.sh", exports + "cd '" + dir + "'\n" + script);
    return std::system(("bash -e '" + dir + "/script.sh'").c_str());
}

class CliRejectFile : public ::testing::TestWithParam<std::string> {};

// Every refused row reaches the file with its values byte for byte (Null and empty text
// apart, quotes, commas, line ends, backslashes, bytes that are not UTF-8), and the
// README's commands load the mended rows back.
TEST_P(CliRejectFile, KeepsEveryRefusedRowAndTheReadmeCommandsLoadThemBack) {
    const bool csv = GetParam() == "csv";
    const std::string t = testdb::uniqueName("cli_rej");
    std::string insert = "CREATE TABLE " + Ident(t) + "(n INTEGER, label TEXT, note TEXT);";
    for (const SourceRow& row : RejectRows()) {
        insert += "INSERT INTO " + Ident(t) + " VALUES(" + row.n + ", " + SqliteLiteral(row.label) +
                  ", " + SqliteLiteral(row.note) + ");";
    }
    Sqlite(insert);
    Program program;
    const std::string file = program.Dir() + (csv ? "/refused.csv" : "/refused.jsonl");
    const Result result = program.Run({"send", "--to", "postgresql", t, "--reject-file", file});
    ASSERT_EQ(result.status, 1) << result.err;
    const std::string text = ReadFile(file);

    if (!csv) {
        // One JSON object per line, each with the row's place, names and exact values.
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        std::vector<std::size_t> refused;
        for (std::size_t i = 0; i < RejectRows().size(); ++i) {
            if (RejectRows()[i].refused)
                refused.push_back(i);
        }
        ASSERT_EQ(lines.size(), refused.size()) << text;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            QJsonParseError error{};
            const QJsonObject o =
                QJsonDocument::fromJson(QByteArray::fromStdString(lines[k]), &error).object();
            ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[k];
            const SourceRow& row = RejectRows()[refused[k]];
            EXPECT_EQ(o["table"].toString().toStdString(), t);
            EXPECT_EQ(o["row"].toInteger(), static_cast<long long>(refused[k] + 1));
            EXPECT_EQ(o["columns"].toArray(), QJsonArray({"n", "label", "note"}));
            EXPECT_FALSE(o["error"].toString().isEmpty());
            const QJsonArray values = o["values"].toArray();
            ASSERT_EQ(values.size(), 3);
            const auto bytes = [](const QJsonValue& v) -> std::optional<std::string> {
                if (v.isNull())
                    return std::nullopt;
                if (v.isObject())
                    return QByteArray::fromHex(v["hex"].toString().toLatin1()).toStdString();
                return v.toString().toStdString();
            };
            std::string n = row.n;
            if (n.front() == '\'')
                n = n.substr(1, n.size() - 2);
            EXPECT_EQ(bytes(values[0]), n) << lines[k];
            EXPECT_EQ(bytes(values[1]), row.label) << lines[k];
            EXPECT_EQ(bytes(values[2]), row.note) << lines[k];
        }
    } else {
        // The odd bytes are in the file as they were read.
        EXPECT_NE(text.find(t + ",6,"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string(",a\xff"
                                        "b,odd\n")),
                  std::string::npos)
            << text;
    }

    // Mended: numbers for the bad ones; the row PostgreSQL cannot hold is left out.
    const std::string mend =
        csv ? "LC_ALL=C sed -i -e '/\\xff/d' -e 's/\",bad\\([0-9]\\),/\",\\1,/' refused.csv\n"
            : "LC_ALL=C sed -i -e '/\"hex\"/d' -e 's/\"values\":\\[\"bad\\([0-9]\\)\"/"
              "\"values\":[\"\\1\"/' refused.jsonl\n";
    std::string resend = ReadmeBlock(csv ? "Mended CSV rows" : "Mended JSON lines");
    resend = QString::fromStdString(resend)
                 .replace(QStringLiteral("mytable"), QString::fromStdString(t))
                 .toStdString();
    ASSERT_EQ(RunShell(program.Dir(), mend + resend), 0) << resend;

    Rows expected;
    for (std::size_t i = 0; i < RejectRows().size(); ++i) {
        const SourceRow& row = RejectRows()[i];
        if (row.label && row.label->find('\xff') != std::string::npos)
            continue;
        const auto hex = [](const std::optional<std::string>& v) {
            return v ? Hex(*v) : std::string("<null>");
        };
        expected.push_back(std::to_string(i + 1) + "|" + hex(row.label) + "|" + hex(row.note));
    }
    EXPECT_EQ(testdb::psql("SELECT n, encode(convert_to(label, 'UTF8'), 'hex'),"
                           " encode(convert_to(note, 'UTF8'), 'hex') FROM " +
                           Ident(t) + " ORDER BY n"),
              expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, CliRejectFile, ::testing::Values("csv", "jsonl"));

// --- several tables at once -----------------------------------------------------------

// Three tables at a time, each with refused rows of its own: each table's accounting is its
// own, every report is one block prefixed with its table's name, and the reject file holds
// each refused row once.
TEST(CliJobs, ThreeTablesAtOnceKeepTheirOwnAccounts) {
    struct Table {
        std::string name;
        int rows;
        std::set<int> bad;
    };
    std::vector<Table> tables = {
        {testdb::uniqueName("cli_jobs_a"), 20000, {1, 7, 19999}},
        {testdb::uniqueName("cli_jobs_b"), 15000, {500, 501, 502, 503}},
        {testdb::uniqueName("cli_jobs_c"), 25000, {25000}},
        {testdb::uniqueName("cli_jobs_d"), 3000, {}},
    };
    std::string sql;
    for (const Table& t : tables) {
        std::string bad;
        for (int b : t.bad)
            bad += (bad.empty() ? "" : ",") + std::to_string(b);
        sql += "CREATE TABLE " + Ident(t.name) +
               "(n INTEGER, label TEXT);"
               "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " +
               std::to_string(t.rows) + ") INSERT INTO " + Ident(t.name) +
               " SELECT CASE WHEN i IN (" + (bad.empty() ? "0" : bad) +
               ") THEN 'bad' ELSE i END, 'row ' || i FROM c;";
    }
    Sqlite(sql);
    Program program;
    const std::string json = program.Dir() + "/summary.json";
    const std::string rejects = program.Dir() + "/refused.jsonl";
    std::vector<std::string> args = {"send",           "--to", "postgresql",    "--jobs", "3",
                                     "--summary-json", json,   "--reject-file", rejects};
    for (const Table& t : tables)
        args.push_back(t.name);
    const Result result = program.Run(args);
    EXPECT_EQ(result.status, 1) << result.err;

    std::map<std::string, int> blocks, rejected;
    const QRegularExpression block(
        R"re((?:^|\n)\[([a-z0-9_]+)\] [^\[]*?sql: INSERT INTO "([a-z0-9_]+)")re");
    for (auto it = block.globalMatch(QString::fromStdString(result.err)); it.hasNext();) {
        const auto match = it.next();
        EXPECT_EQ(match.captured(1), match.captured(2)) << "a report block mixes two tables";
        ++blocks[match.captured(1).toStdString()];
    }
    std::istringstream lines(ReadFile(rejects));
    for (std::string line; std::getline(lines, line);) {
        ++rejected[QJsonDocument::fromJson(QByteArray::fromStdString(line))
                       .object()["table"]
                       .toString()
                       .toStdString()];
    }
    for (const Table& t : tables) {
        const long long refused = static_cast<long long>(t.bad.size());
        const QJsonObject s = SummaryOf(json, t.name);
        EXPECT_EQ(s["read"].toInteger(), t.rows) << t.name;
        EXPECT_EQ(s["landed"].toInteger(), t.rows - refused) << t.name;
        EXPECT_EQ(s["refused"].toInteger(), refused) << t.name;
        EXPECT_EQ(s["status"].toString(), refused ? "refused" : "ok") << t.name;
        EXPECT_EQ(blocks[t.name], refused) << t.name;
        EXPECT_EQ(rejected[t.name], refused) << t.name;
        EXPECT_EQ(PgCount(t.name), t.rows - refused) << t.name;
        // The summary on standard output has the same line.
        EXPECT_NE(result.out.find(t.name), std::string::npos);
    }
}

// Towards the stand-in a foreign key goes with its table's CREATE: with several jobs, one
// to a table another job sends later is carried as with one job, not left out.
TEST(CliJobs, AForeignKeyToATableAnotherJobSendsIsCarried) {
    const std::string parent = testdb::uniqueName("cli_jobs_parent"), child = parent + "_child";
    testdb::psql("CREATE TABLE " + Ident(parent) + " (id int PRIMARY KEY); CREATE TABLE " +
                 Ident(child) + " (id int PRIMARY KEY, pid int REFERENCES " + Ident(parent) +
                 "); INSERT INTO " + Ident(parent) + " VALUES (1); INSERT INTO " + Ident(child) +
                 " VALUES (1, 1);");
    Program program;
    const Result r = program.Run(
        {"send", "--to", "sqlanywhere", "--schema", "exact", "--jobs", "2", child, parent});
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.out.find("not carried"), std::string::npos) << r.out;
    EXPECT_EQ(
        Sqlite("SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list('" + child + "')"),
        Rows{parent + "|pid|id"});
}

// --- verification -----------------------------------------------------------------

// A row trigger that an event trigger puts on the new table changes one value behind the
// program's back: --verify must see it, and only then.
TEST(CliVerify, CatchesARowChangedBehindItsBack) {
    struct Case {
        bool tamper;
        int status;
        const char* verdict;
    };
    for (const Case c : {Case{false, 0, "ok"}, Case{true, 2, "verify-failed"}}) {
        const std::string t = testdb::uniqueName("cli_verify");
        Sqlite("CREATE TABLE " + Ident(t) + "(n INTEGER, label TEXT); INSERT INTO " + Ident(t) +
               " VALUES(1, 'one'), (2, 'two'), (3, 'three');");
        const std::string trigger = testdb::uniqueName("kv_evt");
        if (c.tamper) {
            testdb::psql(
                "CREATE FUNCTION " + trigger +
                "_row() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF NEW.n = 2 THEN "
                "NEW.label := 'changed'; END IF; RETURN NEW; END $$;"
                "CREATE FUNCTION " +
                trigger +
                "_install() RETURNS event_trigger LANGUAGE plpgsql AS $$ DECLARE r record; "
                "BEGIN FOR r IN SELECT * FROM pg_event_trigger_ddl_commands() LOOP "
                "IF r.object_identity LIKE '%" +
                t +
                "' THEN EXECUTE format('CREATE TRIGGER alter_row BEFORE INSERT ON %s "
                "FOR EACH ROW EXECUTE FUNCTION " +
                trigger +
                "_row()', r.object_identity); END IF; END LOOP; END $$;"
                "CREATE EVENT TRIGGER " +
                trigger + " ON ddl_command_end WHEN TAG IN ('CREATE TABLE') EXECUTE FUNCTION " +
                trigger + "_install();");
        }
        Program program;
        const std::string json = program.Dir() + "/summary.json";
        const Result result =
            program.Run({"send", "--to", "postgresql", t, "--verify", "--summary-json", json});
        if (c.tamper) {
            testdb::psql("DROP EVENT TRIGGER " + trigger + "; DROP TABLE " + Ident(t) +
                         "; DROP FUNCTION " + trigger + "_install(); DROP FUNCTION " + trigger +
                         "_row();");
        }
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_EQ(SummaryOf(json, t)["status"].toString(), c.verdict);
        EXPECT_EQ(result.err.find("Verification of table") != std::string::npos, c.tamper)
            << result.err;
    }
}

// --- interrupt --------------------------------------------------------------------

// SIGINT in the middle of a large table: the program stops between runs, the target holds
// whole runs only, and the summary's landed is exactly what the target holds.
TEST(CliInterrupt, StopsBetweenRunsAndTellsTheTruth) {
    const std::string t = testdb::uniqueName("cli_int");
    const std::string after = testdb::uniqueName("cli_int_after");
    const int rows = 2000000;
    Sqlite("CREATE TABLE " + Ident(t) +
           "(n INTEGER, label TEXT);"
           "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " +
           std::to_string(rows) + ") INSERT INTO " + Ident(t) +
           " SELECT i, 'row ' || i FROM c;"
           "CREATE TABLE " +
           Ident(after) + "(n INTEGER); INSERT INTO " + Ident(after) + " VALUES(1);");
    Program program;
    const std::string json = program.Dir() + "/summary.json";
    program.Start({"send", "--to", "postgresql", t, after, "--summary-json", json});
    // Waits until a first run is committed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool landing = false;
    while (!landing && program.Running() && std::chrono::steady_clock::now() < deadline) {
        const Rows found =
            testdb::psql("SELECT count(*) FROM pg_tables WHERE tablename = '" + t + "'");
        landing = found == Rows{"1"} && PgCount(t) > 0;
        if (!landing)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(landing) << "the send ended before it could be interrupted";
    program.Signal(SIGINT);
    const Result result = program.Wait();
    EXPECT_EQ(result.status, 2) << result.err;
    const QJsonObject s = SummaryOf(json, t);
    EXPECT_EQ(s["status"].toString(), "stopped");
    EXPECT_EQ(s["landed"].toInteger(), PgCount(t));
    EXPECT_LT(s["landed"].toInteger(), rows);
    EXPECT_EQ(s["read"].toInteger(), s["landed"].toInteger() + s["refused"].toInteger());
    // Whole runs only: the rows that landed are the first ones, without a gap.
    EXPECT_EQ(testdb::psql("SELECT coalesce(max(n), 0) = count(*) FROM " + Ident(t)), Rows{"t"});
    EXPECT_EQ(SummaryOf(json, after)["status"].toString(), "not-started");
    EXPECT_EQ(testdb::psql("SELECT count(*) FROM pg_tables WHERE tablename = '" + after + "'"),
              Rows{"0"});

    // A second interrupt ends the program at once, even while a statement waits: here the
    // DROP of the existing table waits for a lock that another session holds.
    PGconn* holder =
        PQconnectdb(("host=" + testdb::pg().server + " port=" + testdb::pg().port +
                     " user=" + testdb::pg().user + " password=" + testdb::pg().password +
                     " dbname=" + testdb::pg().database)
                        .c_str());
    ASSERT_EQ(PQstatus(holder), CONNECTION_OK);
    PQclear(
        PQexec(holder, ("BEGIN; LOCK TABLE " + Ident(t) + " IN ACCESS EXCLUSIVE MODE").c_str()));
    program.Start({"send", "--to", "postgresql", t, "--if-exists", "replace"});
    while (program.Running() &&
           testdb::psql("SELECT count(*) FROM pg_locks l JOIN pg_class c ON c.oid = l.relation"
                        " WHERE NOT l.granted AND c.relname = '" +
                        t + "'") == Rows{"0"})
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    program.Signal(SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(program.Running()) << "the first interrupt waits for the statement";
    program.Signal(SIGINT);
    EXPECT_EQ(program.Wait().status, 130);
    PQclear(PQexec(holder, "ROLLBACK"));
    PQfinish(holder);
}

// --- every status true of the target ------------------------------------------------

// A source table of n rows (n INTEGER, label TEXT) on the side that is not `target`.
void SourceTable(const std::string& target, const std::string& name, int rows) {
    if (target == "postgresql") {
        Sqlite("CREATE TABLE " + Ident(name) +
               "(n INTEGER, label TEXT);"
               "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " +
               std::to_string(rows) + ") INSERT INTO " + Ident(name) +
               " SELECT i, 'row ' || i FROM c;");
    } else {
        testdb::psql("CREATE TABLE " + Ident(name) + " AS SELECT i AS n, 'row ' || i AS label" +
                     " FROM generate_series(1, " + std::to_string(rows) + ") i");
    }
}

long long TargetCount(const std::string& target, const std::string& table) {
    return target == "postgresql"
               ? PgCount(table)
               : std::stoll(Sqlite("SELECT count(*) FROM " + Ident(table)).at(0));
}

bool TargetHas(const std::string& target, const std::string& table) {
    return target == "postgresql"
               ? testdb::psql("SELECT count(*) FROM pg_class WHERE relname = '" + table + "'") ==
                     Rows{"1"}
               : Sqlite("SELECT count(*) FROM sqlite_master WHERE name = '" + table + "'") ==
                     Rows{"1"};
}

// A connection lost in the first table ends the run: that table failed with what landed,
// and the tables after it, never begun, are not-started.
TEST(CliLostConnection, TablesAfterItAreNotStarted) {
    const std::string t = testdb::uniqueName("cli_lost");
    const std::string after = testdb::uniqueName("cli_lost_after");
    SourceTable("postgresql", t, 100000);
    SourceTable("postgresql", after, 10);
    // The first table's COPY stalls after a few runs of rows; then the relay goes, and with
    // it every connection and the port a new one would need.
    auto proxy = std::make_unique<testdb::FaultProxy>("127.0.0.1", std::stoi(testdb::pg().port));
    proxy->StallAfterCopyData(3);
    Program program;
    const std::string json = program.Dir() + "/summary.json";
    program.Start({"send", "--to", "postgresql", t, after, "-h", "127.0.0.1", "-p",
                   std::to_string(proxy->Port()), "--summary-json", json});
    const auto copying = [&] {
        for (const auto& statements : proxy->Statements()) {
            for (const std::string& sql : statements) {
                if (sql.rfind("COPY ", 0) == 0)
                    return true;
            }
        }
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (program.Running() && std::chrono::steady_clock::now() < deadline && !copying())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    proxy.reset();
    const Result result = program.Wait();
    EXPECT_EQ(result.status, 2) << result.err;
    const QJsonObject lost = SummaryOf(json, t);
    EXPECT_EQ(lost["status"].toString(), "failed") << ReadFile(json);
    EXPECT_EQ(lost["landed"].toInteger(), PgCount(t));
    EXPECT_EQ(SummaryOf(json, after)["status"].toString(), "not-started") << ReadFile(json);
    EXPECT_FALSE(TargetHas("postgresql", after));
}

// A table whose target could not be made fresh (its DROP or its CREATE TABLE refused)
// gets no rows: failed, landed 0, and the target keeps what it held. The report quotes the
// statement refused.
TEST(CliFreshTables, ATargetThatCannotBeMadeFreshGetsNoRows) {
    struct Case {
        const char* what;
        const char* target;
        std::function<void(const std::string&)> prepare;  // the target's side of the name
        std::string message;                              // of the database
        std::string refused = "CREATE TABLE ";            // the statement quoted
    };
    const Case cases[] = {
        {"replace, but a view depends on the table: DROP refused", "postgresql",
         [](const std::string& t) {
             testdb::psql("CREATE TABLE " + Ident(t) + "(n int4, label text); INSERT INTO " +
                          Ident(t) + " VALUES(-1, 'old'); CREATE VIEW " + Ident(t + "_v") +
                          " AS SELECT * FROM " + Ident(t));
         },
         "depend", "DROP TABLE "},
        {"a view of that name, not listed: CREATE TABLE refused", "postgresql",
         [](const std::string& t) {
             testdb::psql("CREATE VIEW " + Ident(t) + " AS SELECT -1 AS n, 'old' AS label");
         },
         "already exists"},
        {"a view of that name on the stand-in: CREATE TABLE refused", "sqlanywhere",
         [](const std::string& t) {
             Sqlite("CREATE VIEW " + Ident(t) + " AS SELECT -1 AS n, 'old' AS label");
         },
         "already exists"},
    };
    Program program;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string t = testdb::uniqueName("cli_fresh");
        SourceTable(c.target, t, 500);
        c.prepare(t);
        const std::string json = program.Dir() + "/summary.json";
        for (int round = 0; round < 2; ++round) {
            const Result result = program.Run(
                {"send", "--to", c.target, t, "--if-exists", "replace", "--summary-json", json});
            EXPECT_EQ(result.status, 2) << result.err;
            EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
            EXPECT_NE(result.err.find("sql: " + c.refused + Ident(t)), std::string::npos)
                << result.err;
            const QJsonObject s = SummaryOf(json, t);
            EXPECT_EQ(s["status"].toString(), "failed");
            EXPECT_EQ(s["landed"].toInteger(), 0);
            // Every run leaves the old rows as they were, never adds the source's.
            EXPECT_EQ(TargetCount(c.target, t), 1);
        }
    }
}

// Two source tables that the target would store as one (PostgreSQL keeps 63 bytes of a
// name; the stand-in compares names without regard to case) in one run, with one job and
// with two: one of them is sent, the other fails naming both, and the target holds the
// rows of the one sent, once.
TEST(CliFoldedNames, TwoTablesNeverLandInOne) {
    for (const std::string jobs : {"1", "2"}) {
        for (const std::string target : {"postgresql", "sqlanywhere"}) {
            SCOPED_TRACE(target + ", jobs " + jobs);
            std::string a, b, kept;
            if (target == "postgresql") {
                // Capitals, so that the list's lower-case entry is no other table's name.
                const std::string stem = "L" + testdb::uniqueName("fold");
                kept = stem + std::string(63 - stem.size(), 'x');
                a = kept + "_one";
                b = kept + "_two";
                SourceTable(target, a, 300);
                SourceTable(target, b, 700);
            } else {
                kept = testdb::uniqueName("fold");
                a = "Case_" + kept;
                b = "case_" + kept;
                SourceTable(target, a, 300);
                SourceTable(target, b, 700);
            }
            Program program;
            const std::string json = program.Dir() + "/summary.json";
            const Result result = program.Run({"send", "--to", target, a, b, "--jobs", jobs,
                                               "--if-exists", "replace", "--summary-json", json});
            EXPECT_EQ(result.status, 2) << result.err;
            const QJsonObject sa = SummaryOf(json, a), sb = SummaryOf(json, b);
            ASSERT_NE(sa["status"].toString(), sb["status"].toString()) << result.err;
            const QJsonObject& sent = sa["status"].toString() == "ok" ? sa : sb;
            const QJsonObject& refused = sa["status"].toString() == "ok" ? sb : sa;
            EXPECT_EQ(refused["status"].toString(), "failed");
            EXPECT_EQ(refused["landed"].toInteger(), 0);
            EXPECT_NE(result.err.find("The tables \""), std::string::npos) << result.err;
            EXPECT_NE(result.err.find(a), std::string::npos);
            EXPECT_NE(result.err.find(b), std::string::npos);
            // The one table the target holds is the one sent, with its rows once.
            const std::string landedIn =
                target == "postgresql" ? kept : sent["table"].toString().toStdString();
            EXPECT_EQ(TargetCount(target, landedIn), sent["landed"].toInteger());
            if (target == "postgresql") {
                EXPECT_FALSE(
                    TargetHas(target, QString::fromStdString(kept).toLower().toStdString()))
                    << "a lower-case twin";
            } else {
                EXPECT_EQ(
                    Sqlite("SELECT count(*) FROM sqlite_master WHERE name LIKE '%" + kept + "'"),
                    Rows{"1"});
            }
            // Under jobs the report of the table not sent quotes no other table's statement.
            if (jobs != "1") {
                const std::string name = refused["table"].toString().toStdString();
                const auto at = result.err.find("[" + name + "] The tables");
                ASSERT_NE(at, std::string::npos) << result.err;
                const auto sql = result.err.find("sql: ", at);
                ASSERT_NE(sql, std::string::npos);
                EXPECT_EQ(result.err.substr(sql, result.err.find('\n', sql) - sql), "sql: ");
            }
        }
    }
}

// Two processes sending the same table at the same time, round after round: the target
// never holds the rows twice, and each process's summary and exit status are true of it.
TEST(CliRace, TwoProcessesSendingOneTableNeverInterleave) {
    const std::string t = testdb::uniqueName("cli_race");
    const int rows = 100000;
    SourceTable("postgresql", t, rows);
    Program first, second;
    const std::string firstJson = first.Dir() + "/summary.json";
    const std::string secondJson = second.Dir() + "/summary.json";
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::vector<std::string> args = {"send",    "--to", "postgresql",    t, "--if-exists",
                                               "replace", "-q",   "--summary-json"};
        auto firstArgs = args, secondArgs = args;
        firstArgs.push_back(firstJson);
        secondArgs.push_back(secondJson);
        first.Start(firstArgs);
        second.Start(secondArgs);
        const Result a = first.Wait(), b = second.Wait();
        EXPECT_EQ(testdb::psql("SELECT count(*), count(DISTINCT n) FROM " + Ident(t)),
                  Rows{std::to_string(rows) + "|" + std::to_string(rows)});
        int sent = 0;
        for (const auto& [result, json] : {std::pair{a, firstJson}, std::pair{b, secondJson}}) {
            const QJsonObject s = SummaryOf(json, t);
            if (s["status"].toString() == "ok") {
                EXPECT_EQ(result.status, 0) << result.err;
                EXPECT_EQ(s["landed"].toInteger(), rows);
                ++sent;
            } else {
                // The table did not stand there when this one listed the target's tables (at
                // the start, or between the other's DROP and CREATE): the other created it.
                EXPECT_EQ(result.status, 2);
                EXPECT_EQ(s["landed"].toInteger(), 0);
                EXPECT_NE(result.err.find("already exists"), std::string::npos) << result.err;
            }
        }
        EXPECT_GE(sent, 1);
    }
}

// The files a send writes its results to are part of the result: one that cannot be
// written stops the run before any table is touched, or ends it with exit status 2 and
// says why; the printed summary shows the status the program ends with.
TEST(CliOutputFiles, AFileThatCannotBeWrittenIsAFailure) {
    struct Case {
        const char* what;
        std::vector<std::string> options;  // "{dir}" is the program's folder
        bool stdoutFull;
        bool sent;  // whether the table was sent at all
        std::string said;
    };
    const Case cases[] = {
        // A device is no file to keep results in (it was the way a full disk showed).
        {"reject file on a device",
         {"--reject-file", "/dev/full"},
         false,
         false,
         "cannot write /dev/full: it is a device, not a regular file"},
        {"summary on a device",
         {"--summary-json", "/dev/full"},
         false,
         false,
         "cannot write /dev/full: it is a device, not a regular file"},
        {"reject file is a folder", {"--reject-file", "{dir}"}, false, false, "it is a folder"},
        {"summary in a missing folder",
         {"--summary-json", "{dir}/none/s.json"},
         false,
         false,
         "No such file or directory"},
        {"standard output on a full disk", {}, true, true, "cannot write to standard output"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string t = testdb::uniqueName("cli_out");
        Sqlite("CREATE TABLE " + Ident(t) + "(n INTEGER); INSERT INTO " + Ident(t) +
               " VALUES(1), ('x'), (3), ('y');");
        Program program;
        std::vector<std::string> args = {"send", "--to", "postgresql", t};
        for (const std::string& option : c.options) {
            args.push_back(QString::fromStdString(option)
                               .replace("{dir}", QString::fromStdString(program.Dir()))
                               .toStdString());
        }
        const bool ownSummary = std::find(args.begin(), args.end(), "--summary-json") == args.end();
        const std::string json = program.Dir() + "/summary.json";
        if (ownSummary)
            args.insert(args.end(), {"--summary-json", json});
        if (c.stdoutFull)
            program.SetStandardOutput("/dev/full");
        const Result result = program.Run(args);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
        EXPECT_EQ(TargetHas("postgresql", t), c.sent);
        if (c.sent) {
            EXPECT_EQ(PgCount(t), 2);
        }
        if (c.sent && ownSummary) {
            const QJsonObject summary =
                QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(json))).object();
            EXPECT_EQ(summary["exit_status"].toInt(), 2);
        }
        if (c.sent && !c.stdoutFull) {
            EXPECT_NE(result.out.find("exit 2"), std::string::npos) << result.out;
        }
    }
}

// --schema exact --dry-run prints the statements that would change the target, one per
// line ending in ";", and changes nothing; the send itself then runs the same.
TEST(CliDryRun, PrintsWhatTheSendWouldRunAndChangesNothing) {
    const std::string t = testdb::uniqueName("cli_dry");
    Sqlite("CREATE TABLE " + Ident(t) +
           "(id INTEGER PRIMARY KEY AUTOINCREMENT, code VARCHAR(9)"
           " NOT NULL UNIQUE); INSERT INTO " +
           Ident(t) + "(code) VALUES ('a'), ('b');");
    Program program;
    const Result dry =
        program.Run({"send", "--to", "postgresql", t, "--schema", "exact", "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out.rfind("CREATE TABLE " + Ident(t) +
                                "(\"id\" bigint GENERATED BY DEFAULT AS "
                                "IDENTITY, \"code\" varchar(9));\n",
                            0),
              0u)
        << dry.out;
    EXPECT_NE(dry.out.find("ALTER TABLE " + Ident(t) + " ADD PRIMARY KEY (\"id\");\n"),
              std::string::npos)
        << dry.out;
    EXPECT_FALSE(TargetHas("postgresql", t));
    const std::string json = program.Dir() + "/summary.json";
    const Result sent =
        program.Run({"send", "--to", "postgresql", t, "--schema", "exact", "--summary-json", json});
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(testdb::psql("SELECT count(*) FROM pg_indexes WHERE tablename = '" + t + "'"),
              Rows{"2"});
    const QJsonArray carried = SummaryOf(json, t)["carried"].toArray();
    EXPECT_TRUE(carried.contains(QJsonValue("primary key (id)"))) << ReadFile(json);
}

// A dry run writes nothing but standard output: each statement one line ending in ";" (a
// default holding a line break written on one line), the summary after them as comments
// whose status is "planned", and no file: not even the empty SQLite file that opening a
// data source whose file is missing would create.
TEST(CliDryRun, WritesNothingButStandardOutput) {
    const std::string t = testdb::uniqueName("cli_dry_nl");
    testdb::psql("CREATE TABLE " + Ident(t) + "(id int, note text DEFAULT E'x;\\ny');");
    Program program;
    const Result dry =
        program.Run({"send", "--to", "sqlanywhere", t, "--schema", "exact", "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    bool summary = false;
    for (const std::string& line : Lines(dry.out)) {
        if (line.rfind("-- ", 0) == 0) {
            summary = summary || (line.find(t) != std::string::npos &&
                                  line.find("planned") != std::string::npos);
        } else {
            EXPECT_EQ(line.back(), ';') << line;
        }
    }
    EXPECT_TRUE(summary) << dry.out;
    EXPECT_NE(dry.out.find("DEFAULT ('x;' || char(10) || 'y')"), std::string::npos) << dry.out;
    EXPECT_FALSE(TargetHas("sqlanywhere", t));

    const std::string missing = program.Dir() + "/missing.sqlite";
    const std::string ini = program.Dir() + "/odbc.ini";
    WriteFile(ini, ReadFile(std::getenv("ODBCINI")) +
                       "\n[Missing]\nDriver=SQLite3\nDatabase=" + missing + "\n");
    const Result none = program.Run(
        {"send", "--to", "sqlanywhere", t, "--dsn", "Missing", "--dry-run"}, {{"ODBCINI", ini}});
    EXPECT_EQ(none.status, 2) << none.err;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(missing)));
}

// Every row there but a key the rows break: the table is incomplete, exit 2, and the
// summary says under the table what is missing and why.
TEST(CliExact, ATableWithoutItsKeyIsIncomplete) {
    const std::string t = testdb::uniqueName("cli_incomplete");
    // SQLite lets a primary key other than an INTEGER one hold Nulls; PostgreSQL's does not.
    Sqlite("CREATE TABLE " + Ident(t) + "(k TEXT PRIMARY KEY, v INTEGER); INSERT INTO " + Ident(t) +
           " VALUES (NULL, 1), (NULL, 2), ('a', 3);");
    Program program;
    const std::string json = program.Dir() + "/summary.json";
    const Result result =
        program.Run({"send", "--to", "postgresql", t, "--schema", "exact", "--summary-json", json});
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_EQ(SummaryOf(json, t)["status"].toString(), "incomplete") << ReadFile(json);
    EXPECT_EQ(PgCount(t), 3);
    EXPECT_NE(result.out.find("    not carried: primary key (k): 2 rows break it\n"),
              std::string::npos)
        << result.out;
}

class CliDates : public ::testing::TestWithParam<bool> {};

// A DATE column keeps a day only: a value with a time of day, or one that names a day
// relative to the load, is refused and reported, never changed; values that keep their
// meaning go as they are. In runs and row by row.
TEST_P(CliDates, AValueADateColumnWouldChangeIsRefused) {
    const std::string t = testdb::uniqueName("cli_date");
    Sqlite("CREATE TABLE " + Ident(t) + "(n INTEGER, d DATE); INSERT INTO " + Ident(t) +
           " VALUES(1, '2024-01-05'), (2, '2024-01-05 13:45:00'), (3, 'tomorrow'),"
           " (4, '2024-1-5'), (5, 'infinity'), (6, '2024-01-05 00:00:00'), (7, 'Today'),"
           " (8, '2024-01-05T23:59:59.999'), (9, NULL);");
    Program program;
    const std::string rejects = program.Dir() + "/refused.csv";
    std::vector<std::string> args = {"send", "--to", "postgresql", t, "--reject-file", rejects};
    if (GetParam())
        args.push_back("--row-by-row");
    const Result result = program.Run(args);
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(testdb::psql("SELECT n, d FROM " + Ident(t) + " ORDER BY n"),
              (Rows{"1|2024-01-05", "4|2024-01-05", "5|infinity", "6|2024-01-05", "9|<null>"}));
    std::string refusedRows;
    std::istringstream lines(ReadFile(rejects));
    for (std::string line; std::getline(lines, line);)
        refusedRows += line.substr(t.size() + 1, line.find(',', t.size() + 1) - t.size() - 1) + " ";
    EXPECT_EQ(refusedRows, "2 3 7 8 ");
    EXPECT_NE(result.err.find("has a time of day (13:45:00)"), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(Modes, CliDates, ::testing::Values(false, true));

// --- the password -------------------------------------------------------------------

// Without a password in the settings: PGPASSWORD, then ~/.pgpass (only when private), then
// --password-file.
TEST(CliPassword, ComesFromEachSourceInTurn) {
    const testdb::PgLogin pg = testdb::pg();
    struct Case {
        const char* what;
        std::optional<std::string> env;     // PGPASSWORD
        std::optional<std::string> pgpass;  // ~/.pgpass content
        int mode;
        std::optional<std::string> file;  // --password-file content
        int status;
    };
    const std::string line = "*:" + pg.port + ":" + pg.database + ":" + pg.user + ":" + pg.password;
    const Case cases[] = {
        {"none at all", std::nullopt, std::nullopt, 0600, std::nullopt, 2},
        {"PGPASSWORD", pg.password, std::nullopt, 0600, std::nullopt, 0},
        {".pgpass", std::nullopt, "# comment\nother:1:x:y:z\n" + line + "\n", 0600, std::nullopt,
         0},
        {".pgpass readable by others", std::nullopt, line + "\n", 0644, std::nullopt, 2},
        {"--password-file", std::nullopt, std::nullopt, 0600, pg.password + "\nrest\n", 0},
        {"PGPASSWORD first", pg.password, std::nullopt, 0600, "wrong\n", 0},
        {"empty --password-file", std::nullopt, std::nullopt, 0600, "", 2},
        {"--password-file naming a folder", std::nullopt, std::nullopt, 0600, "{folder}", 2},
        // Bounded: no wait for a writer, no reading without end, one line of 4 KiB at most.
        {"--password-file naming a FIFO", std::nullopt, std::nullopt, 0600, "{fifo}", 2},
        {"--password-file naming /dev/zero", std::nullopt, std::nullopt, 0600, "{zero}", 2},
        {"a first line past 4 KiB", std::nullopt, std::nullopt, 0600, std::string(5000, 'x'), 2},
    };
    for (const Case& c : cases) {
        Program program;
        korvanta::ConnectionValues values = testdb::connectionValues();
        values.password.clear();
        testdb::storeConnectionValues(QString::fromStdString(program.SettingsFile()), values);
        const std::string home = program.Dir() + "/home";
        QDir().mkpath(QString::fromStdString(home));
        if (c.pgpass) {
            WriteFile(home + "/.pgpass", *c.pgpass);
            chmod((home + "/.pgpass").c_str(), static_cast<mode_t>(c.mode));
        }
        std::vector<std::string> args = {"list", "postgresql"};
        if (c.file == "{folder}") {
            args.insert(args.end(), {"--password-file", home});
        } else if (c.file == "{fifo}") {
            mkfifo((program.Dir() + "/fifo").c_str(), 0600);
            args.insert(args.end(), {"--password-file", program.Dir() + "/fifo"});
        } else if (c.file == "{zero}") {
            args.insert(args.end(), {"--password-file", "/dev/zero"});
        } else if (c.file) {
            WriteFile(program.Dir() + "/pw", *c.file);
            args.insert(args.end(), {"--password-file", program.Dir() + "/pw"});
        }
        const Result result = program.Run(
            args, {{"HOME", home}, {"PGPASSWORD", c.env}, {"PGPASSFILE", std::nullopt}});
        EXPECT_EQ(result.status, c.status) << c.what << "\n" << result.err;
        // A password file that gives none says why, before anything is opened.
        if (c.file && c.status != 0) {
            EXPECT_NE(result.err.find("password file"), std::string::npos) << result.err;
        }
    }
}

}  // namespace

// --- the schema verb ----------------------------------------------------------------

// The statements an exact send would run, from the source alone: they run on empty
// databases of SQLite and PostgreSQL, and SQL Anywhere's are free of what its grammar has
// not (NO ACTION, COLLATE, NULLS FIRST/LAST, casts with ::, partial indexes).
TEST(CliSchema, StatementsRunOnEmptyDatabasesOfEachDialect) {
    const std::string u = testdb::uniqueName("cli_schema");
    const std::string a = u + "_a", b = u + "_b", lite = u + "_lite";
    testdb::psql("CREATE TABLE " + a +
                 "(id int GENERATED ALWAYS AS IDENTITY PRIMARY KEY, email "
                 "text CHECK (email LIKE '%@%'), made date DEFAULT ('now'::text)::date, c "
                 "char(2), n int);"
                 "CREATE UNIQUE INDEX " +
                 u + "_mail ON " + a +
                 " (lower(email)) WHERE n > 0;"
                 "CREATE INDEX " +
                 u + "_n ON " + a +
                 " (n DESC NULLS LAST);"
                 "CREATE TABLE " +
                 b + "(id serial PRIMARY KEY, a int REFERENCES " + a +
                 ", s varchar(5) CHECK (s IN ('x', 'y')));");
    Sqlite("CREATE TABLE " + lite +
           "(id INTEGER PRIMARY KEY AUTOINCREMENT, email TEXT COLLATE "
           "NOCASE UNIQUE, kind TEXT DEFAULT 'a' CHECK (kind IN ('a', 'b')), at DATETIME DEFAULT "
           "CURRENT_TIMESTAMP);");
    Program program;
    const auto script = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "schema");
        const Result result = program.Run(args);
        EXPECT_EQ(result.status, 0) << result.err;
        for (const std::string& line : Lines(result.out))
            EXPECT_TRUE(line.back() == ';' || line.rfind("-- ", 0) == 0) << line;
        return result.out;
    };

    const std::string toLite = script({"--to", "sqlanywhere", "--dialect", "sqlite", a, b});
    const std::string file = program.Dir() + "/empty.sqlite";
    testdb::sqlite(toLite, file);
    EXPECT_EQ(testdb::sqlite("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name "
                             "LIKE '" +
                                 u + "%'",
                             file),
              Rows{"2"});

    const std::string database = u + "_db";
    testdb::psql("CREATE DATABASE " + database);
    testdb::psql(script({"--to", "sqlanywhere", "--dialect", "postgresql", a, b}), database);
    testdb::psql(script({"--to", "postgresql", lite}), database);
    EXPECT_EQ(testdb::psql("SELECT conname FROM pg_constraint WHERE contype IN ('c', 'f') AND "
                           "connamespace = 'public'::regnamespace ORDER BY 1",
                           database),
              (Rows{a + "_email_check", b + "_a_fkey", b + "_s_check", lite + "_kind_check"}))
        << "both tables' checks, the stand-in's check and the foreign key";
    testdb::psql("DROP DATABASE " + database);

    const std::string toSa = script({"--to", "sqlanywhere", a, b});
    for (const std::string& line : Lines(toSa)) {
        if (line.rfind("-- ", 0) == 0)
            continue;
        for (const char* form : {"NO ACTION", "COLLATE", "NULLS ", "::", " WHERE ", "now"})
            EXPECT_EQ(line.find(form), std::string::npos) << form << " in " << line;
    }
    EXPECT_NE(toSa.find("-- " + a + ": not carried: index " + u + "_n (n): NULLS LAST"),
              std::string::npos)
        << toSa;

    // Values SQL Anywhere would read otherwise, and names it refuses: a bytea default as its
    // binary literal, a carriage return as \xHH, a name holding " or two names one but for
    // case left out and named, never written.
    const std::string c = u + "_c", d = u + "_d", e = u + "_E";
    testdb::psql("CREATE TABLE " + c + "(id int, bin bytea DEFAULT '\\x00ff', t text DEFAULT " +
                 "E'a\\rb'); CREATE TABLE " + d + "(id int, \"q\"\"uote\" int); CREATE TABLE \"" +
                 e + "\"(id int, \"Id\" int)");
    const Result refused = program.Run({"schema", "--to", "sqlanywhere", c, d, e});
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find(d + " is not written: SQL Anywhere takes no name holding the "
                                   "character \""),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("the columns \"id\" and \"Id\" would be one column"),
              std::string::npos)
        << refused.err;
    const std::string& names = refused.out;
    EXPECT_NE(names.find("\"bin\" LONG BINARY DEFAULT 0x00ff"), std::string::npos) << names;
    EXPECT_NE(names.find("DEFAULT 'a\\x0Db'"), std::string::npos) << names;
    EXPECT_EQ(names.find("uote"), std::string::npos) << names;
    EXPECT_EQ(names.find("CREATE TABLE \"" + e), std::string::npos) << names;
    const std::string lite2 = script({"--to", "sqlanywhere", "--dialect", "sqlite", c});
    testdb::sqlite(lite2, file);
    EXPECT_EQ(testdb::sqlite(
                  "INSERT INTO " + c + "(id) VALUES (1); SELECT hex(bin), hex(t) FROM " + c, file),
              Rows{"00FF|610D62"});
}
