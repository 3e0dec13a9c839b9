// Benchmark of the transfer, the memory it holds and the list fills, against the
// databases that scripts/bench starts. Prints its figures; the last line sums them up.
//
//   korvanta_bench [--rows N] [--large-rows L] [--memory-rows M] [--tables T]
//                  [--db-small-tables S] [--db-large-rows D] [--only PART]
//   korvanta_bench --memory-child DIRECTION TABLE [IDLE_TABLE]
//                                   (internal: one send in a fresh process)
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchDialogs.h"
#include "BenchWindow.h"
#include "DriverReadFloor.h"
#include "Measure.h"
#include "adodb/ArrayInsert.h"
#include "adodb/Connection.h"
#include "catalog/ListFill.h"
#include "engine/connections/ConnectionString.h"
#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/dialect/SqliteDialect.h"
#include "transfer/TableTransfer.h"

using namespace korvanta;

namespace {

struct Options {
    long rows = 100000;
    long largeRows = 1000000;
    long memoryRows = 10000000;
    int tables = 20000;
    int dbSmallTables = 200;
    long dbLargeRows = 500000;  // the largest of the four large tables; the smallest has half
    // to-postgresql, to-sybase, refused, memory, value, database, listing, exact or merge:
    // that part alone
    std::string only;
};

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        throw std::runtime_error(std::string(name) + " is not set: run scripts/bench");
    return value;
}

// Runs a client with the SQL in a script file: a script of 20,000 statements is far
// longer than one shell argument may be.
std::string RunScript(const std::string& client, const std::string& sql) {
    // A file of this run's own: benchmarks running side by side must not share one.
    QTemporaryFile script(QDir::tempPath() + QStringLiteral("/korvanta-bench-XXXXXX.sql"));
    if (!script.open())
        throw std::runtime_error("cannot write a script file");
    script.write(sql.data(), static_cast<qint64>(sql.size()));
    script.write("\n");
    script.flush();
    return Run(client + " < " + script.fileName().toStdString());
}

std::string PsqlIn(const std::string& database, const std::string& sql) {
    return RunScript("PGOPTIONS='-c client_min_messages=warning' PGPASSWORD='" +
                         Env("KV_PG_PASSWORD") + "' psql -X -q -A -t -v ON_ERROR_STOP=1 -h " +
                         Env("KV_PG_SERVER") + " -p " + Env("KV_PG_PORT") + " -U " +
                         Env("KV_PG_USER") + " -d " + database,
                     sql);
}

std::string Psql(const std::string& sql) {
    return PsqlIn(Env("KV_PG_DATABASE"), sql);
}

std::string Sqlite(const std::string& sql) {
    return RunScript("sqlite3 -cmd '.timeout 20000' -bail " + Env("KV_SQLITE_FILE"), sql);
}

long Number(const std::string& text) {
    return std::stol(text);
}

// The mixed table of the benchmark: int4, int8, numeric(12,2), a 30-character text,
// timestamp and bool, each column Null in one row of ten.
void MakePostgreSQLSource(const std::string& table, long rows) {
    Psql(
        "DROP TABLE IF EXISTS " + table +
        ";"
        "CREATE TABLE " +
        table +
        "(id int4, big int8, amount numeric(12,2), label varchar(30),"
        " stamp timestamp, flag bool);"
        "INSERT INTO " +
        table +
        " SELECT"
        " CASE WHEN g % 10 = 5 THEN NULL ELSE g END,"
        " CASE WHEN g % 10 = 4 THEN NULL ELSE g::int8 * 1000003 END,"
        " CASE WHEN g % 10 = 0 THEN NULL ELSE (g % 100000) / 100.0 END,"
        " CASE WHEN g % 10 = 1 THEN NULL ELSE rpad('label ' || g || ' ', 30, 'abcdefghij') END,"
        " CASE WHEN g % 10 = 2 THEN NULL ELSE timestamp '2020-01-01' + g * interval '1 second' END,"
        " CASE WHEN g % 10 = 3 THEN NULL ELSE g % 2 = 0 END"
        " FROM generate_series(1, " +
        std::to_string(rows) + ") AS g;");
}

// The same table in the SQLite file, as SQL for its command-line shell.
std::string SqliteSourceSql(const std::string& table, long rows) {
    return (
        "DROP TABLE IF EXISTS " + table +
        ";"
        "CREATE TABLE " +
        table +
        "(id INTEGER, big BIGINT, amount NUMERIC, label VARCHAR(30),"
        " stamp TIMESTAMP, flag BOOL);"
        "WITH RECURSIVE s(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM s WHERE g < " +
        std::to_string(rows) +
        ")"
        " INSERT INTO " +
        table +
        " SELECT"
        " CASE WHEN g % 10 = 5 THEN NULL ELSE g END,"
        " CASE WHEN g % 10 = 4 THEN NULL ELSE g * 1000003 END,"
        " CASE WHEN g % 10 = 0 THEN NULL ELSE (g % 100000) / 100.0 END,"
        " CASE WHEN g % 10 = 1 THEN NULL ELSE substr('label ' || g || ' "
        "abcdefghijabcdefghijabcdefghij', 1, 30) END,"
        " CASE WHEN g % 10 = 2 THEN NULL ELSE datetime('2020-01-01', '+' || g || ' seconds') END,"
        " CASE WHEN g % 10 = 3 THEN NULL ELSE g % 2 END"
        " FROM s;");
}

void MakeSqliteSource(const std::string& table, long rows) {
    Sqlite(SqliteSourceSql(table, rows));
}

struct Timed {
    long rows = 0;
    double seconds = 0;
    int reports = 0;
    double Rate() const { return seconds > 0 ? rows / seconds : 0; }
};

// Sends one table through the engine, as the send buttons do (no window).
Timed SendTimed(Side target, const std::string& table, bool oneStatementPerRow,
                BenchDialogs& dialogs) {
    const int before = dialogs.reports;
    Stopwatch watch;
    BenchSend(target, table, BenchConnectionValues(), oneStatementPerRow, dialogs);
    Timed t;
    t.seconds = watch.Seconds();
    t.reports = dialogs.reports - before;
    t.rows = target == Side::PostgreSQL ? Number(Psql("SELECT count(*) FROM \"" + table + "\";"))
                                        : Number(Sqlite("SELECT count(*) FROM \"" + table + "\";"));
    return t;
}

void Print(const char* what, const Timed& t) {
    std::printf("  %-34s %9ld rows in %6.2f s, %9.0f rows/s, %d error reports\n", what, t.rows,
                t.seconds, t.Rate(), t.reports);
}

// What PostgreSQL takes at best: the same rows loaded by psql's \copy from a file.
Timed CopyThroughPsql(const std::string& table) {
    const std::string csv = QDir::tempPath().toStdString() + "/korvanta-bench.csv";
    Psql("\\copy \"" + table + "\" TO '" + csv + "' csv");
    Psql("DROP TABLE IF EXISTS bench_copy; CREATE TABLE bench_copy (LIKE \"" + table + "\");");
    Timed t;
    Stopwatch watch;
    Psql("\\copy bench_copy FROM '" + csv + "' csv");
    t.seconds = watch.Seconds();
    std::remove(csv.c_str());
    t.rows = Number(Psql("SELECT count(*) FROM bench_copy;"));
    Psql("DROP TABLE bench_copy;");
    return t;
}

struct Ratio {
    double value = 0;      // tool / the database's best
    double overFloor = 0;  // the tool's time / the driver's own floor, median of rounds
};

// An exact copy of a table with a primary key and two indexes, against the same send in
// the default mode: the keys and indexes are built after the rows.
double MeasureExact(long rows, BenchDialogs& dialogs) {
    std::printf("Send to PostgreSQL: %ld rows with a primary key and two indexes\n", rows);
    Sqlite(
        "DROP TABLE IF EXISTS BenchExact; CREATE TABLE BenchExact(id INTEGER PRIMARY KEY,"
        " big BIGINT NOT NULL, amount NUMERIC(12,2), label VARCHAR(30), stamp TIMESTAMP,"
        " flag BOOLEAN);"
        "WITH RECURSIVE s(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM s WHERE g < " +
        std::to_string(rows) +
        ") INSERT INTO BenchExact SELECT g, (g * 7919) % 1000003, (g % 100000) / 100.0,"
        " substr('label ' || ((g * 104729) % 999983) || ' abcdefghij', 1, 30),"
        " datetime('2020-01-01', '+' || g || ' seconds'), g % 2 FROM s;"
        "CREATE INDEX BenchExact_label ON BenchExact(label);"
        "CREATE INDEX BenchExact_big ON BenchExact(big DESC);");
    double seconds[2] = {0, 0};
    for (const bool exact : {false, true}) {
        Psql("DROP TABLE IF EXISTS \"BenchExact\";");
        const int before = dialogs.reports;
        Stopwatch watch;
        BenchSend(Side::PostgreSQL, "BenchExact", BenchConnectionValues(), false, dialogs, exact);
        Timed t;
        t.seconds = seconds[exact ? 1 : 0] = watch.Seconds();
        t.reports = dialogs.reports - before;
        t.rows = Number(Psql("SELECT count(*) FROM \"BenchExact\";"));
        Print(exact ? "exact tables (keys after the rows):" : "default mode:", t);
    }
    std::printf("  indexes on the exact copy: %s\n",
                Psql("SELECT count(*) FROM pg_indexes WHERE tablename = 'BenchExact';").c_str());
    const double ratio = seconds[1] / seconds[0];
    std::printf("  ratio exact / default: %.2f\n", ratio);
    // The server's own work on the keys and indexes, timed alone: what the exact mode adds
    // beyond it is the program's.
    Stopwatch rebuild;
    Psql("REINDEX TABLE \"BenchExact\";");
    const double builds = rebuild.Seconds();
    const double beyond = (seconds[1] - builds) / seconds[0];
    std::printf(
        "  the server's index builds (REINDEX) %.2f s; exact without them / default: "
        "%.2f (target at most 1.10)\n",
        builds, beyond);
    return ratio;
}

// A merge of a 1M-row table of which 1 % changed, against a full send of it: every row
// read and compared, and only the rows from the target's largest `stamp` on (--since).
double MeasureMerge(long rows, BenchDialogs& dialogs) {
    std::printf("Merge into PostgreSQL: %ld rows with a primary key, 1 %% of them changed\n", rows);
    Sqlite(
        "DROP TABLE IF EXISTS BenchMerge; CREATE TABLE BenchMerge(id INTEGER PRIMARY KEY,"
        " big BIGINT NOT NULL, amount NUMERIC(12,2), label VARCHAR(40), stamp TIMESTAMP,"
        " flag BOOLEAN);"
        "WITH RECURSIVE s(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM s WHERE g < " +
        std::to_string(rows) +
        ") INSERT INTO BenchMerge SELECT g, (g * 7919) % 1000003, (g % 100000) / 100.0,"
        " substr('label ' || g || ' abcdefghij', 1, 30), datetime('2020-01-01', '+' || g ||"
        " ' seconds'), g % 2 FROM s;");
    Psql("DROP TABLE IF EXISTS \"BenchMerge\";");
    const auto timed = [&](const char* what, const std::function<void()>& send) {
        const int before = dialogs.reports;
        Stopwatch watch;
        send();
        Timed t;
        t.seconds = watch.Seconds();
        t.reports = dialogs.reports - before;
        t.rows = Number(Psql("SELECT count(*) FROM \"BenchMerge\";"));
        Print(what, t);
        return t.seconds;
    };
    const double full = timed("full send (exact):", [&] {
        BenchSend(Side::PostgreSQL, "BenchMerge", BenchConnectionValues(), false, dialogs, true);
    });
    Sqlite(
        "UPDATE BenchMerge SET label = label || ' changed', stamp = datetime('2030-01-01', '+' "
        "|| id || ' seconds') WHERE id % 100 = 0;");
    const double merge = timed("merge, every row compared:", [&] {
        BenchMerge(Side::PostgreSQL, "BenchMerge", BenchConnectionValues(), "", dialogs);
    });
    Sqlite(
        "UPDATE BenchMerge SET label = label || ' again', stamp = datetime('2031-01-01', '+' "
        "|| id || ' seconds') WHERE id % 100 = 1;");
    const double since = timed("merge --since stamp:", [&] {
        BenchMerge(Side::PostgreSQL, "BenchMerge", BenchConnectionValues(), "stamp", dialogs);
    });
    const long differing =
        Number(Psql("SELECT count(*) FROM \"BenchMerge\" WHERE label LIKE '%changed' OR label LIKE "
                    "'%again';"));
    std::printf("  changed rows on the target: %ld (expected %ld)\n", differing, rows / 100 * 2);
    std::printf("  merge / full send: %.2f; merge --since / full send: %.2f\n", merge / full,
                since / full);
    return merge / full;
}

// The statement a send reads the table with, as the dialect of its database makes it.
std::string StatementOf(adodb::Connection& connection, const korvanta::Dialect& dialect,
                        const std::string& table) {
    const std::string all = "SELECT * FROM \"" + table + "\"";
    adodb::Recordset described = connection.Execute(all);
    std::vector<SourceField> fields;
    for (int j = 0; j < described.Fields().Count(); ++j) {
        const adodb::Field& f = described.Fields()[j];
        fields.push_back({f.Name(), f.Type(), f.NativeTypeName(), {}});
    }
    described.Close();
    std::vector<std::uint8_t> marks;
    const std::string exact = dialect.ExactRowsQuery("\"" + table + "\"", fields, marks);
    return exact.empty() ? all : exact;
}

// Reads a table through the data-access layer as a send reads it, and nothing else: what
// the source's driver gives at best.
Timed ReadAlone(const std::string& connectionString, const std::string& table, bool postgreSQL) {
    adodb::Connection connection;
    connection.CursorLocation = adodb::adUseServer;
    connection.Open(connectionString);
    const std::string query = postgreSQL
                                  ? StatementOf(connection, korvanta::PostgreSQLDialect(), table)
                                  : "SELECT * FROM \"" + table + "\"";
    Timed t;
    Stopwatch watch;
    adodb::Recordset records = connection.Execute(query);
    const adodb::FieldList& fields = records.Fields();
    std::size_t bytes = 0;
    while (!records.IsEOF()) {
        for (int j = 0; j < fields.Count(); ++j)
            bytes += fields[j].Value().Text().size();
        records.MoveNext();
        ++t.rows;
    }
    t.seconds = watch.Seconds();
    return t;
}

// Rows held in memory for the driver's own bulk load.
class HeldRows final : public adodb::TextRows {
  public:
    std::size_t columns = 0;
    std::vector<std::optional<std::string>> values;
    std::optional<std::string_view> Value(std::size_t row, std::size_t column) const override {
        const auto& value = values[row * columns + column];
        return value ? std::optional<std::string_view>(*value) : std::nullopt;
    }
};

// The best the ODBC driver of the SQL Anywhere side offers for the same rows: one prepared
// INSERT with arrays of parameters, in one transaction, the rows already in memory.
Timed DriverBulkLoad(const std::string& table) {
    adodb::Connection connection;
    connection.CursorLocation = adodb::adUseServer;
    connection.Open(SybaseConnectionString(BenchConnectionValues()));
    HeldRows rows;
    {
        adodb::Recordset records = connection.Execute("SELECT * FROM \"" + table + "\"");
        rows.columns = static_cast<std::size_t>(records.Fields().Count());
        while (!records.IsEOF()) {
            for (int j = 0; j < records.Fields().Count(); ++j) {
                const adodb::Variant v = records.Fields()[j].Value();
                rows.values.push_back(v.IsNull() ? std::nullopt
                                                 : std::optional<std::string>(v.ToString()));
            }
            records.MoveNext();
        }
    }
    std::string create = Sqlite("SELECT sql FROM sqlite_master WHERE name = '" + table + "';");
    Sqlite("DROP TABLE IF EXISTS bench_driver; " +
           create.replace(create.find(table), table.size(), "bench_driver") + ";");
    std::string sql = "INSERT INTO bench_driver VALUES(";
    for (std::size_t j = 0; j < rows.columns; ++j)
        sql += j ? ", ?" : "?";
    sql += ")";
    adodb::ArrayInsert insert(connection, sql, rows.columns);
    const std::size_t count = rows.columns ? rows.values.size() / rows.columns : 0;
    Timed t;
    Stopwatch watch;
    connection.BeginTrans();
    const adodb::ArrayInsert::Result result = insert.Execute(rows, 0, count);
    connection.CommitTrans();
    t.seconds = watch.Seconds();
    if (result.error)
        throw *result.error;
    t.rows = static_cast<long>(count);
    Sqlite("DROP TABLE bench_driver;");
    return t;
}

// The statement the tool reads the stand-in's table with: its floating-point columns as
// text that keeps every digit.
std::string ExactStatement(const std::string& table) {
    adodb::Connection connection;
    connection.CursorLocation = adodb::adUseServer;
    connection.Open(SybaseConnectionString(BenchConnectionValues()));
    return StatementOf(connection, korvanta::SqliteDialect(), table);
}

// The median of a few figures (three rounds: the middle one).
double Median(std::vector<double> figures) {
    if (figures.empty())
        return 0;
    std::sort(figures.begin(), figures.end());
    return figures[figures.size() / 2];
}

// Rounds of a comparison, the tool and its floor in turn, so that a slow spell of a shared
// machine falls on both; the ratio is taken round by round and its median quoted.
constexpr int kRounds = 3;

// Towards PostgreSQL: the tool in runs, beside COPY through psql, the driver's read floor
// (in interleaved rounds) and, for the smaller table, the old copy of one statement per row.
Ratio MeasureToPostgreSQL(long rows, bool perRow, BenchDialogs& dialogs) {
    std::printf("Send to PostgreSQL: %ld rows from SQL Anywhere (durable server)\n", rows);
    MakeSqliteSource("BenchSrc", rows);
    // The driver's floor: its rows bound in arrays and nothing done with them, for SELECT *
    // and for the statement the tool reads (its doubles with every digit).
    const std::string dsn = "DSN=" + BenchConnectionValues().dataSourceName.toStdString();
    const std::string exactStatement = ExactStatement("BenchSrc");
    // The floor once more while the server loads the same rows by psql's COPY: a send to
    // PostgreSQL always reads beside the server's work on its rows, and on a machine of few
    // processors the two share them.
    const std::string csv = QDir::tempPath().toStdString() + "/korvanta-bench-beside.csv";
    Timed tool;
    std::vector<double> overFloor, overExactFloor, overBesideFloor;
    for (int round = 1; round <= kRounds; ++round) {
        Psql("DROP TABLE IF EXISTS \"BenchSrc\";");
        const Timed sent = SendTimed(Side::PostgreSQL, "BenchSrc", false, dialogs);
        const DriverRead floor = BoundArrayRead(dsn, "SELECT * FROM BenchSrc");
        const DriverRead exactFloor = BoundArrayRead(dsn, exactStatement);
        if (round == 1) {
            Psql("\\copy \"BenchSrc\" TO '" + csv + "' csv");
            Psql(
                "DROP TABLE IF EXISTS bench_beside; CREATE TABLE bench_beside (LIKE "
                "\"BenchSrc\");");
        }
        Psql("TRUNCATE bench_beside;");
        auto load = std::async(std::launch::async,
                               [&] { Psql("\\copy bench_beside FROM '" + csv + "' csv"); });
        const DriverRead besideFloor = BoundArrayRead(dsn, "SELECT * FROM BenchSrc");
        load.get();
        std::printf("  round %d:\n", round);
        Print("tool, rows in runs (COPY):", sent);
        Print("the driver's read floor (bound arrays):", {floor.rows, floor.seconds, 0});
        Print("the same, the tool's statement:", {exactFloor.rows, exactFloor.seconds, 0});
        Print("the floor beside the server's COPY:", {besideFloor.rows, besideFloor.seconds, 0});
        overFloor.push_back(floor.seconds > 0 ? sent.seconds / floor.seconds : 0);
        overExactFloor.push_back(exactFloor.seconds > 0 ? sent.seconds / exactFloor.seconds : 0);
        overBesideFloor.push_back(besideFloor.seconds > 0 ? sent.seconds / besideFloor.seconds : 0);
        if (round == 1 || sent.seconds < tool.seconds)
            tool = sent;
    }
    Print("reading the source alone (sqliteodbc):",
          ReadAlone(SybaseConnectionString(BenchConnectionValues()), "BenchSrc", false));
    const Timed copy = CopyThroughPsql("BenchSrc");
    Print("COPY through psql:", copy);
    if (perRow) {
        Psql("DROP TABLE \"BenchSrc\";");
        Print("tool, one statement per row (old):",
              SendTimed(Side::PostgreSQL, "BenchSrc", true, dialogs));
    }
    Psql("DROP TABLE IF EXISTS \"BenchSrc\"; DROP TABLE IF EXISTS bench_beside;");
    std::remove(csv.c_str());
    Sqlite("DROP TABLE BenchSrc;");
    const double ratio = tool.Rate() / copy.Rate();
    std::printf("  ratio tool (its best round) / COPY: %.2f (target 0.5)\n", ratio);
    std::printf(
        "  time tool / the driver's read floor, median of %d rounds: %.2f, of the same "
        "statement %.2f (target 1.10), of the floor beside the server's COPY %.2f\n",
        kRounds, Median(overFloor), Median(overExactFloor), Median(overBesideFloor));
    return {ratio, Median(overExactFloor)};
}

// Towards SQL Anywhere: the tool in runs, beside a bare bulk load of the same rows into
// the same SQLite file and, for the smaller table, the old copy of one statement per row.
Ratio MeasureToSybase(long rows, bool perRow, BenchDialogs& dialogs) {
    std::printf("Send to SQL Anywhere: %ld rows from PostgreSQL\n", rows);
    MakePostgreSQLSource("bench_src", rows);
    Timed tool;
    std::vector<double> overLoad;
    for (int round = 1; round <= kRounds; ++round) {
        Sqlite("DROP TABLE IF EXISTS bench_src;");
        const Timed sent = SendTimed(Side::SqlAnywhere, "bench_src", false, dialogs);
        const Timed driverLoad = DriverBulkLoad("bench_src");
        std::printf("  round %d:\n", round);
        Print("tool, rows in runs (arrays):", sent);
        Print("the ODBC driver's bulk load:", driverLoad);
        overLoad.push_back(driverLoad.seconds > 0 ? sent.seconds / driverLoad.seconds : 0);
        if (round == 1 || sent.seconds < tool.seconds)
            tool = sent;
    }
    Print("reading the source alone (psqlODBC):",
          ReadAlone(PostgreSQLConnectionString(BenchConnectionValues()), "bench_src", true));
    const std::string bare = QCoreApplication::applicationDirPath().toStdString() +
                             "/bare_sqlite_load " + Env("KV_SQLITE_FILE") + " bench_src bench_bare";
    const std::string out = Run(bare);
    std::printf("  %s", out.c_str());
    const double bareRate = std::stod(out.substr(out.rfind(", ") + 2));
    if (perRow) {
        Sqlite("DROP TABLE bench_src;");
        Print("tool, one statement per row (old):",
              SendTimed(Side::SqlAnywhere, "bench_src", true, dialogs));
    }
    Sqlite("DROP TABLE IF EXISTS bench_src;");
    Psql("DROP TABLE bench_src;");
    const double ratio = tool.Rate() / bareRate;
    std::printf("  ratio tool (its best round) / bare bulk load: %.2f (target 0.5)\n", ratio);
    std::printf("  time tool / the driver's bulk load, median of %d rounds: %.2f (target 1.10)\n",
                kRounds, Median(overLoad));
    return {ratio, Median(overLoad)};
}

// A table whose values PostgreSQL refuses in `refused` rows spread evenly: each costs
// its row and one report naming it, the others land, and the rate holds.
Ratio MeasureRefusedRows(long rows, long refused, BenchDialogs& dialogs) {
    std::printf("Send to PostgreSQL: %ld rows, %ld of them refused by the target\n", rows, refused);
    MakeSqliteSource("BenchRefused", rows);
    const long every = rows / refused;
    Sqlite("UPDATE BenchRefused SET id = 'bad ' || rowid WHERE rowid % " + std::to_string(every) +
           " = 0;");
    Psql("DROP TABLE IF EXISTS \"BenchRefused\";");
    dialogs.Keep(true);
    const Timed tool = SendTimed(Side::PostgreSQL, "BenchRefused", false, dialogs);
    dialogs.Keep(false);
    Print("tool, rows in runs (COPY):", tool);
    long right = 0;
    for (long k = 0; k < static_cast<long>(dialogs.kept.size()); ++k) {
        const std::string row = std::to_string((k + 1) * every);
        const QString& report = dialogs.kept[static_cast<qsizetype>(k)];
        if (report.contains("PushButton3_Click at line 282\r\r") &&
            report.contains(QString::fromStdString(
                "\r\rsql: INSERT INTO \"BenchRefused\" VALUES('bad " + row + "', ")))
            ++right;
    }
    dialogs.kept.clear();
    std::printf(
        "  %d reports, %ld of them for the right row with its INSERT; %ld rows landed"
        " (expected %ld)\n",
        tool.reports, right, tool.rows, rows - refused);
    const Timed copy = CopyThroughPsql("BenchRefused");
    Print("COPY through psql (the rows that landed):", copy);
    Psql("DROP TABLE IF EXISTS \"BenchRefused\";");
    Sqlite("DROP TABLE BenchRefused;");
    const double ratio = (rows / tool.seconds) / copy.Rate();
    std::printf("  ratio tool / COPY: %.2f (target 0.25)\n", ratio);
    return {ratio};
}

// Sends one table in this process and prints the peak resident memory it took. With an
// idle table, that one is sent first, so that the baseline is the program idle after a
// send: its drivers loaded and its buffers made.
int MemoryChild(const std::string& direction, const std::string& table,
                const std::string& idleTable) {
    BenchDialogs dialogs;
    const Side target = direction == "to-sybase" ? Side::SqlAnywhere : Side::PostgreSQL;
    if (!idleTable.empty())
        BenchSend(target, idleTable, BenchConnectionValues(), false, dialogs);
    const long long before = ResidentBytes();
    ResetPeakResident();
    Stopwatch watch;
    BenchSend(target, table, BenchConnectionValues(), false, dialogs);
    std::printf("peak %lld baseline %lld reports %d seconds %.3f\n", PeakResidentBytes(), before,
                dialogs.reports, watch.Seconds());
    return 0;
}

// What a send in a fresh process took: its peak resident memory above the baseline the
// process had before the send.
struct ChildPeak {
    double heldMB = 0;
    double baselineMB = 0;
    double seconds = 0;
    int reports = 0;
};

ChildPeak SendInFreshProcess(const std::string& direction, const std::string& table,
                             const std::string& idleTable = {}) {
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const std::string out =
        Run(self + " --memory-child " + direction + " " + table + " " + idleTable);
    long long peak = 0, baseline = 0;
    ChildPeak child;
    std::sscanf(out.c_str(), "peak %lld baseline %lld reports %d seconds %lf", &peak, &baseline,
                &child.reports, &child.seconds);
    child.heldMB = static_cast<double>(peak - baseline) / 1e6;
    child.baselineMB = static_cast<double>(baseline) / 1e6;
    return child;
}

// Peak resident memory above the program's baseline while one table is sent, in a fresh
// process.
double MemoryOfOneSend(const std::string& direction, const std::string& table, long rows) {
    const ChildPeak child = SendInFreshProcess(direction, table);
    std::printf(
        "  %s: %ld rows in %.1f s (%.0f rows/s), %d error reports; peak %.1f MB above a"
        " baseline of %.1f MB (target 64)\n",
        direction.c_str(), rows, child.seconds, rows / child.seconds, child.reports, child.heldMB,
        child.baselineMB);
    return child.heldMB;
}

// One row holding a 50 MiB text, each way: the peak above the baseline against the value's
// size. The drivers and the databases each hold the value at least once on the way.
double MeasureValueMemory() {
    constexpr double kValueMB = 52428800 / 1e6;
    std::printf("Memory: one row with a %.1f MB text, each way\n", kValueMB);
    Sqlite(
        "DROP TABLE IF EXISTS BenchValue; DROP TABLE IF EXISTS bench_value;"
        "CREATE TABLE BenchValue(id INTEGER, v TEXT);"
        "INSERT INTO BenchValue VALUES (1, replace(hex(zeroblob(26214400)), '0', 'x'));"
        "DROP TABLE IF EXISTS BenchValueIdle; DROP TABLE IF EXISTS bench_value_idle;"
        "CREATE TABLE BenchValueIdle(id INTEGER, v TEXT);"
        "INSERT INTO BenchValueIdle VALUES (1, 'x');");
    Psql(
        "DROP TABLE IF EXISTS \"BenchValue\";"
        "DROP TABLE IF EXISTS bench_value;"
        "CREATE TABLE bench_value AS SELECT 1 AS id, repeat('x', 52428800) AS v;"
        "DROP TABLE IF EXISTS \"BenchValueIdle\"; DROP TABLE IF EXISTS bench_value_idle;"
        "CREATE TABLE bench_value_idle AS SELECT 1 AS id, 'x' AS v;");
    double worst = 0;
    const struct {
        const char* direction;
        const char* table;
        const char* idle;
    } sends[] = {{"to-postgresql", "BenchValue", "BenchValueIdle"},
                 {"to-sybase", "bench_value", "bench_value_idle"}};
    for (const auto& [direction, table, idle] : sends) {
        const ChildPeak child = SendInFreshProcess(direction, table, idle);
        const double times = child.heldMB / kValueMB;
        std::printf(
            "  %s: %.2f s, %d error reports; peak %.1f MB above the idle program's %.1f MB, "
            "%.2f times the value (target 3)\n",
            direction, child.seconds, child.reports, child.heldMB, child.baselineMB, times);
        worst = std::max(worst, times);
    }
    Psql(
        "DROP TABLE IF EXISTS \"BenchValue\"; DROP TABLE bench_value;"
        "DROP TABLE IF EXISTS \"BenchValueIdle\"; DROP TABLE bench_value_idle;");
    Sqlite(
        "DROP TABLE BenchValue; DROP TABLE IF EXISTS bench_value;"
        "DROP TABLE BenchValueIdle; DROP TABLE IF EXISTS bench_value_idle;");
    return worst;
}

double MeasureMemory(long rows) {
    std::printf("Memory: %ld rows each way\n", rows);
    MakeSqliteSource("BenchMem", rows);
    Psql("DROP TABLE IF EXISTS \"BenchMem\";");
    const double toPostgreSQL = MemoryOfOneSend("to-postgresql", "BenchMem", rows);
    Psql("DROP TABLE IF EXISTS \"BenchMem\";");
    Sqlite("DROP TABLE BenchMem;");

    MakePostgreSQLSource("bench_mem", rows);
    Sqlite("DROP TABLE IF EXISTS bench_mem;");
    const double toSybase = MemoryOfOneSend("to-sybase", "bench_mem", rows);
    Psql("DROP TABLE bench_mem;");
    Sqlite("DROP TABLE IF EXISTS bench_mem;");
    return std::max(toPostgreSQL, toSybase);
}

double MeasureListing(int tables) {
    std::printf("Listing: %d tables on each side\n", tables);
    // In batches: one transaction cannot lock 20,000 tables.
    auto forEachTable = [&](const std::string& statement) {
        return "DO $$ BEGIN FOR i IN 1.." + std::to_string(tables) + " LOOP EXECUTE format('" +
               statement + "', i); IF i % 500 = 0 THEN COMMIT; END IF; END LOOP; END $$;";
    };
    // In public: the list holds the tables that bare names reach on the search path.
    const std::string dropAll = forEachTable("DROP TABLE IF EXISTS bench_list_t%s");
    Psql(dropAll);
    Psql(forEachTable("CREATE TABLE bench_list_t%s (id int)"));
    std::string sqlite = "BEGIN;";
    for (int i = 1; i <= tables; ++i)
        sqlite += "CREATE TABLE BenchList" + std::to_string(i) + "(id INTEGER);";
    Sqlite(sqlite + "COMMIT;");

    BenchWindow window;
    Stopwatch pgWatch;
    ListPostgreSQLTables(*window.list2, BenchConnectionValues(), window.pump);
    const double pgSeconds = pgWatch.Seconds();
    Stopwatch sybaseWatch;
    ListSybaseTables(*window.list1, BenchConnectionValues(), window.pump);
    const double sybaseSeconds = sybaseWatch.Seconds();
    std::printf("  PostgreSQL list: %d entries in %.3f s\n", window.list2->Count(), pgSeconds);
    std::printf("  SQL Anywhere list: %d entries in %.3f s\n", window.list1->Count(),
                sybaseSeconds);

    Psql(dropAll);
    std::string drop = "BEGIN;";
    for (int i = 1; i <= tables; ++i)
        drop += "DROP TABLE BenchList" + std::to_string(i) + ";";
    Sqlite(drop + "COMMIT;");
    return std::max(pgSeconds, sybaseSeconds);
}

// The whole-database part: many small tables and a few large ones in the SQLite file,
// sent to PostgreSQL by the command line (one job, two jobs), by the window's code and
// by pgloader.
struct Database {
    std::vector<std::string> tables;
    std::map<std::string, long> rows;  // per table, as the source counts them
    long total = 0;
};

Database MakeDatabase(int smallTables, long largeRows) {
    Database db;
    std::string sql = "BEGIN;";
    auto add = [&](const std::string& table, long rows) {
        db.tables.push_back(table);
        sql += SqliteSourceSql(table, rows);
    };
    // Lower-case names: pgloader folds names to lower case, the tool keeps them as written.
    for (int i = 1; i <= smallTables; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "db_small_%04d", i);
        add(name, 100 + (static_cast<long>(i) * 389) % 901);  // 100 to 1,000 rows
    }
    for (int k = 0; k < 4; ++k)
        add("db_large_" + std::to_string(k + 1), largeRows / 2 + k * largeRows / 6);
    Sqlite(sql + "COMMIT;");
    std::string counts;
    for (const std::string& table : db.tables)
        counts += "SELECT '" + table + "', count(*) FROM " + table + ";";
    std::istringstream lines(Sqlite(counts));
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t bar = line.find('|');
        db.rows[line.substr(0, bar)] = std::stol(line.substr(bar + 1));
        db.total += std::stol(line.substr(bar + 1));
    }
    return db;
}

// Compares the target's per-table counts with the source's; prints a failure line when a
// table is missing or short. Returns the rows that landed.
long CheckCounts(const Database& db, const std::string& database, const char* what) {
    std::set<std::string> present;
    std::istringstream names(PsqlIn(database,
                                    "SELECT table_name FROM information_schema.tables"
                                    " WHERE table_schema = 'public';"));
    for (std::string name; std::getline(names, name);)
        present.insert(name);
    std::string counts;
    for (const std::string& table : db.tables) {
        if (present.count(table))
            counts += "SELECT '" + table + "', count(*) FROM \"" + table + "\";";
    }
    std::map<std::string, long> landed;
    std::istringstream lines(counts.empty() ? std::string() : PsqlIn(database, counts));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t bar = line.find('|');
        landed[line.substr(0, bar)] = std::stol(line.substr(bar + 1));
    }
    long total = 0;
    int wrong = 0;
    std::string which;
    for (const std::string& table : db.tables) {
        const auto found = landed.find(table);
        const long rows = found == landed.end() ? -1 : found->second;
        total += std::max(rows, 0L);
        if (rows != db.rows.at(table) && ++wrong <= 5)
            which += " " + table + " (" + (rows < 0 ? "missing" : std::to_string(rows)) + " of " +
                     std::to_string(db.rows.at(table)) + ")";
    }
    if (wrong > 0)
        std::printf("  FAILED: %s landed %ld of %ld rows; %d tables wrong:%s%s\n", what, total,
                    db.total, wrong, which.c_str(), wrong > 5 ? " ..." : "");
    return total;
}

void DropDatabaseTables(const Database& db) {
    std::string drop = "DROP TABLE IF EXISTS ";
    for (std::size_t i = 0; i < db.tables.size(); ++i)
        drop += (i ? ", \"" : "\"") + db.tables[i] + "\"";
    Psql(drop + ";");
}

struct Child {
    int status = -1;
    double seconds = 0;
    double peakMB = 0;   // the child's own peak resident size
    std::string output;  // its standard output and error
};

// Runs a program (no shell) with extra environment variables and waits for it: its time,
// exit status and peak resident size.
Child RunChild(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    QTemporaryFile out(QDir::tempPath() + QStringLiteral("/korvanta-bench-XXXXXX.out"));
    if (!out.open())
        throw std::runtime_error("cannot write an output file");
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e != nullptr; ++e)
        env.emplace_back(*e);  // after the extra ones: the first of a name wins
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.handle(), 1);
    posix_spawn_file_actions_adddup2(&actions, out.handle(), 2);
    Child child;
    Stopwatch watch;
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " + args[0]);
    // The kernel's ru_maxrss of a spawned child counts the parent's pages it shared before
    // exec, so the child's own high-water mark is read from /proc while it runs.
    int status = 0;
    long long peakKB = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0)
            throw std::runtime_error("lost " + args[0]);
        std::ifstream procStatus("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(procStatus, line);) {
            if (line.rfind("VmHWM:", 0) == 0)
                peakKB = std::max(peakKB, std::atoll(line.c_str() + 6));
        }
        usleep(10000);
    }
    child.seconds = watch.Seconds();
    child.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    child.peakMB = static_cast<double>(peakKB) * 1024 / 1e6;
    out.seek(0);
    child.output = out.readAll().toStdString();
    return child;
}

void PrintRun(const char* what, const Database& db, double seconds) {
    std::printf("  %-26s %9ld rows in %6.2f s, %9.0f rows/s\n", what, db.total, seconds,
                db.total / seconds);
}

// One send of the whole database by the command line; returns its seconds and the peak
// resident size above the idle program's.
std::pair<double, double> CommandLineSend(const Database& db, int jobs, double idleMB) {
    DropDatabaseTables(db);
    const ConnectionValues values = BenchConnectionValues();
    QTemporaryFile summary(QDir::tempPath() + QStringLiteral("/korvanta-bench-XXXXXX.json"));
    if (!summary.open())
        throw std::runtime_error("cannot write a summary file");
    const Child child =
        RunChild({QCoreApplication::applicationDirPath().toStdString() + "/../src/korvanta",
                  "send",
                  "--to",
                  "postgresql",
                  "--all",
                  "--if-exists",
                  "replace",
                  "--jobs",
                  std::to_string(jobs),
                  "-q",
                  "--summary-json",
                  summary.fileName().toStdString(),
                  "-h",
                  values.server.toStdString(),
                  "-p",
                  values.port.toStdString(),
                  "-U",
                  values.user.toStdString(),
                  "-d",
                  values.database.toStdString(),
                  "--dsn",
                  values.dataSourceName.toStdString()},
                 {"PGPASSWORD=" + values.password.toStdString()});
    const std::string what =
        "command line, " + std::to_string(jobs) + (jobs == 1 ? " job" : " jobs");
    PrintRun((what + ":").c_str(), db, child.seconds);
    const QJsonObject totals =
        QJsonDocument::fromJson(summary.readAll()).object().value("totals").toObject();
    const double above = child.peakMB - idleMB;
    std::printf(
        "    exit status %d, %lld rows landed by its summary; peak %.1f MB above the idle"
        " program's %.1f MB (target %d)\n",
        child.status, static_cast<long long>(totals.value("landed").toDouble()), above, idleMB,
        64 * jobs);
    if (!child.output.empty())
        std::printf("    it said: %.500s\n", child.output.c_str());
    CheckCounts(db, values.database.toStdString(), what.c_str());
    return {child.seconds, above};
}

// The window's send button over every table, lists filled first as the window fills them.
double WindowSend(const Database& db, BenchDialogs& dialogs) {
    DropDatabaseTables(db);
    const ConnectionValues values = BenchConnectionValues();
    BenchWindow window;
    Stopwatch watch;
    ListSybaseTables(*window.list1, values, window.pump);
    ListPostgreSQLTables(*window.list2, values, window.pump);
    window.list1->SetAllSelected(true);
    SendSelectedTables(
        Side::PostgreSQL,
        TransferWindow{*window.list1, *window.list2, *window.progress, *window.pointer}, values,
        TransferSettings{}, dialogs);
    const double seconds = watch.Seconds();
    PrintRun("window's code:", db, seconds);
    CheckCounts(db, values.database.toStdString(), "the window's code");
    return seconds;
}

// pgloader loads the same SQLite file into a database of its own, made anew, with two
// workers and no indexes. Returns its seconds, or 0 when it is missing or failed.
double PgloaderLoad(const Database& db) {
    const std::string database = Env("KV_PG_DATABASE") + "_pgloader";
    Psql("DROP DATABASE IF EXISTS " + database + "; CREATE DATABASE " + database + ";");
    const QTemporaryDir root(QDir::tempPath() + QStringLiteral("/korvanta-bench-XXXXXX"));
    Child child;
    try {
        child = RunChild(
            {"pgloader", "--no-ssl-cert-verification", "--root-dir", root.path().toStdString(),
             "--with", "workers = 2", "--with", "concurrency = 1", "--with", "create no indexes",
             "sqlite://" + Env("KV_SQLITE_FILE"),
             "postgresql://" + Env("KV_PG_USER") + ":" + Env("KV_PG_PASSWORD") + "@" +
                 Env("KV_PG_SERVER") + ":" + Env("KV_PG_PORT") + "/" + database +
                 "?sslmode=disable"},
            {});
    } catch (const std::exception& e) {
        std::printf("  pgloader: %s\n", e.what());
        return 0;
    }
    PrintRun("pgloader (2 workers):", db, child.seconds);
    std::printf("    exit status %d; its own peak %.1f MB\n", child.status, child.peakMB);
    const long landed = CheckCounts(db, database, "pgloader");
    if (child.status != 0 || landed != db.total)
        std::printf("    it said: %.2000s\n", child.output.c_str());
    Psql("DROP DATABASE " + database + ";");
    return child.status == 0 ? child.seconds : 0;
}

struct DatabaseFigures {
    double pgloaderOverTwoJobs = 0;
    double windowOverOneJob = 0;
    double memoryOneJob = 0;
    double memoryTwoJobs = 0;
};

DatabaseFigures MeasureDatabase(int smallTables, long largeRows, BenchDialogs& dialogs) {
    const Database db = MakeDatabase(smallTables, largeRows);
    std::printf(
        "Whole database to PostgreSQL: %zu tables, %ld rows (%d of 100 to 1,000 rows, 4 of %ld"
        " to %ld rows)\n",
        db.tables.size(), db.total, smallTables, largeRows / 2, largeRows / 2 + 3 * largeRows / 6);
    const double idleMB =
        RunChild({QCoreApplication::applicationDirPath().toStdString() + "/../src/korvanta",
                  "--version"},
                 {})
            .peakMB;
    const auto [oneJob, memoryOne] = CommandLineSend(db, 1, idleMB);
    const auto [twoJobs, memoryTwo] = CommandLineSend(db, 2, idleMB);
    const double window = WindowSend(db, dialogs);
    DropDatabaseTables(db);
    const double pgloader = PgloaderLoad(db);

    DatabaseFigures f;
    f.pgloaderOverTwoJobs = pgloader / twoJobs;
    f.windowOverOneJob = window / oneJob;
    f.memoryOneJob = memoryOne;
    f.memoryTwoJobs = memoryTwo;
    std::printf("  ratio pgloader / 2 jobs: %.2f (target 3)\n", f.pgloaderOverTwoJobs);
    std::printf("  ratio window / 1 job: %.2f (target 1)\n", f.windowOverOneJob);
    std::string drop = "BEGIN;";
    for (const std::string& table : db.tables)
        drop += "DROP TABLE " + table + ";";
    Sqlite(drop + "COMMIT;");
    return f;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--memory-child")
        return MemoryChild(argv[2], argv[3], argc == 5 ? argv[4] : "");

    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--rows")
            options.rows = std::stol(argv[i + 1]);
        if (flag == "--large-rows")
            options.largeRows = std::stol(argv[i + 1]);
        if (flag == "--memory-rows")
            options.memoryRows = std::stol(argv[i + 1]);
        if (flag == "--tables")
            options.tables = std::stoi(argv[i + 1]);
        if (flag == "--db-small-tables")
            options.dbSmallTables = std::stoi(argv[i + 1]);
        if (flag == "--db-large-rows")
            options.dbLargeRows = std::stol(argv[i + 1]);
        if (flag == "--only")
            options.only = argv[i + 1];
    }
    try {
        BenchDialogs dialogs;
        auto wanted = [&](const char* part) {
            return options.only.empty() || options.only == part;
        };
        Ratio toPostgreSQL, toPostgreSQLLarge, toSybase, refused;
        double memory = 0, memoryLarge = 0, listing = 0, exact = 0;
        DatabaseFigures database;
        if (wanted("to-postgresql")) {
            toPostgreSQL = MeasureToPostgreSQL(options.rows, true, dialogs);
            toPostgreSQLLarge = MeasureToPostgreSQL(options.largeRows, false, dialogs);
        }
        if (wanted("to-sybase"))
            toSybase = MeasureToSybase(options.rows, true, dialogs);
        if (wanted("refused"))
            refused = MeasureRefusedRows(options.largeRows, 100, dialogs);
        double value = 0;
        if (wanted("memory")) {
            memory = MeasureMemory(options.rows);
            memoryLarge = MeasureMemory(options.memoryRows);
        }
        if (wanted("memory") || wanted("value"))
            value = MeasureValueMemory();
        if (wanted("database"))
            database = MeasureDatabase(options.dbSmallTables, options.dbLargeRows, dialogs);
        if (wanted("listing"))
            listing = MeasureListing(options.tables);
        if (wanted("exact"))
            exact = MeasureExact(options.largeRows, dialogs);
        double merge = 0;
        if (wanted("merge"))
            merge = MeasureMerge(options.largeRows, dialogs);
        std::printf(
            "summary: to PostgreSQL %.2f and %.2f of COPY (target 0.5), %.2f and %.2f times the "
            "driver's read floor (target 1.10); to SQL Anywhere %.2f of a bare bulk load (target "
            "0.5), %.2f times the driver's bulk load (target 1.10); with 100 refused rows %.2f of "
            "COPY (target 0.25); peak "
            "memory %.0f MB at %ld rows and %.0f MB at %ld rows (target 64); whole database: "
            "pgloader takes %.2f times 2 jobs (target 3), the window %.2f times 1 job (target 1), "
            "%.0f and %.0f MB above idle for 1 and 2 jobs (target 64 a job); listing %.2f s; exact "
            "tables %.2f of the default mode's time (target 1.5); a merge of 1 %% changed rows "
            "%.2f of a full send; a 50 MiB value's peak %.2f times its size (target 3)\n",
            toPostgreSQL.value, toPostgreSQLLarge.value, toPostgreSQL.overFloor,
            toPostgreSQLLarge.overFloor, toSybase.value, toSybase.overFloor, refused.value, memory,
            options.rows, memoryLarge, options.memoryRows, database.pgloaderOverTwoJobs,
            database.windowOverOneJob, database.memoryOneJob, database.memoryTwoJobs, listing,
            exact, merge, value);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
