// Benchmark of the transfer, the memory it holds and the list fills, against the
// databases that scripts/bench starts. Prints its figures; the last line sums them up.
//
//   korvanta_bench [--rows N] [--large-rows L] [--memory-rows M] [--tables T] [--only PART]
//   korvanta_bench --memory-child DIRECTION TABLE   (internal: one send in a fresh process)
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryFile>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchDialogs.h"
#include "BenchWindow.h"
#include "Measure.h"
#include "adodb/ArrayInsert.h"
#include "adodb/Connection.h"
#include "catalog/TableListing.h"
#include "engine/ConnectionString.h"
#include "sql/SourceQuery.h"

using namespace korvanta;

namespace {

struct Options {
    long rows = 100000;
    long largeRows = 1000000;
    long memoryRows = 10000000;
    int tables = 20000;
    std::string only;  // to-postgresql, to-sybase, refused, memory or listing: that part alone
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

std::string Psql(const std::string& sql) {
    return RunScript("PGOPTIONS='-c client_min_messages=warning' PGPASSWORD='" +
                         Env("KV_PG_PASSWORD") + "' psql -X -q -A -t -v ON_ERROR_STOP=1 -h " +
                         Env("KV_PG_SERVER") + " -p " + Env("KV_PG_PORT") + " -U " +
                         Env("KV_PG_USER") + " -d " + Env("KV_PG_DATABASE"),
                     sql);
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

void MakeSqliteSource(const std::string& table, long rows) {
    Sqlite(
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
    double value = 0;  // tool / the database's best
};

// Reads a table through the data-access layer as a send reads it, and nothing else: what
// the source's driver gives at best.
Timed ReadAlone(const std::string& connectionString, const std::string& table, bool postgreSQL) {
    adodb::Connection connection;
    connection.CursorLocation = adodb::adUseServer;
    connection.Open(connectionString);
    std::string query = "SELECT * FROM \"" + table + "\"";
    if (postgreSQL) {
        adodb::Recordset described = connection.Execute(query);
        std::vector<SourceField> fields;
        for (int j = 0; j < described.Fields().Count(); ++j) {
            const adodb::Field& f = described.Fields()[j];
            fields.push_back({f.Name(), f.Type(), f.NativeTypeName()});
        }
        described.Close();
        const std::string textForm = ServerTextQuery("\"" + table + "\"", fields);
        if (!textForm.empty())
            query = textForm;
    }
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

// Towards PostgreSQL: the tool in runs, beside COPY through psql and, for the smaller
// table, the old copy of one statement per row.
Ratio MeasureToPostgreSQL(long rows, bool perRow, BenchDialogs& dialogs) {
    std::printf("Send to PostgreSQL: %ld rows from SQL Anywhere (durable server)\n", rows);
    MakeSqliteSource("BenchSrc", rows);
    Psql("DROP TABLE IF EXISTS \"BenchSrc\";");
    const Timed tool = SendTimed(Side::PostgreSQL, "BenchSrc", false, dialogs);
    Print("tool, rows in runs (COPY):", tool);
    Print("reading the source alone (sqliteodbc):",
          ReadAlone(SybaseConnectionString(BenchConnectionValues()), "BenchSrc", false));
    const Timed copy = CopyThroughPsql("BenchSrc");
    Print("COPY through psql:", copy);
    if (perRow) {
        Psql("DROP TABLE \"BenchSrc\";");
        Print("tool, one statement per row (old):",
              SendTimed(Side::PostgreSQL, "BenchSrc", true, dialogs));
    }
    Psql("DROP TABLE IF EXISTS \"BenchSrc\";");
    Sqlite("DROP TABLE BenchSrc;");
    const double ratio = tool.Rate() / copy.Rate();
    std::printf("  ratio tool / COPY: %.2f (target 0.5)\n", ratio);
    return {ratio};
}

// Towards SQL Anywhere: the tool in runs, beside a bare bulk load of the same rows into
// the same SQLite file and, for the smaller table, the old copy of one statement per row.
Ratio MeasureToSybase(long rows, bool perRow, BenchDialogs& dialogs) {
    std::printf("Send to SQL Anywhere: %ld rows from PostgreSQL\n", rows);
    MakePostgreSQLSource("bench_src", rows);
    Sqlite("DROP TABLE IF EXISTS bench_src;");
    const Timed tool = SendTimed(Side::SqlAnywhere, "bench_src", false, dialogs);
    Print("tool, rows in runs (arrays):", tool);
    Print("reading the source alone (psqlODBC):",
          ReadAlone(PostgreSQLConnectionString(BenchConnectionValues()), "bench_src", true));
    Print("the ODBC driver's bulk load:", DriverBulkLoad("bench_src"));
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
    std::printf("  ratio tool / bare bulk load: %.2f (target 0.5)\n", ratio);
    return {ratio};
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

// Sends one table in this process and prints the peak resident memory it took.
int MemoryChild(const std::string& direction, const std::string& table) {
    BenchDialogs dialogs;
    const long long before = ResidentBytes();
    ResetPeakResident();
    Stopwatch watch;
    BenchSend(direction == "to-sybase" ? Side::SqlAnywhere : Side::PostgreSQL, table,
              BenchConnectionValues(), false, dialogs);
    std::printf("peak %lld baseline %lld reports %d seconds %.3f\n", PeakResidentBytes(), before,
                dialogs.reports, watch.Seconds());
    return 0;
}

// Peak resident memory above the program's baseline while one table is sent, in a fresh
// process.
double MemoryOfOneSend(const std::string& direction, const std::string& table, long rows) {
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const std::string out = Run(self + " --memory-child " + direction + " " + table);
    long long peak = 0, baseline = 0;
    int reports = 0;
    double seconds = 0;
    std::sscanf(out.c_str(), "peak %lld baseline %lld reports %d seconds %lf", &peak, &baseline,
                &reports, &seconds);
    const double held = static_cast<double>(peak - baseline) / 1e6;
    std::printf(
        "  %s: %ld rows in %.1f s (%.0f rows/s), %d error reports; peak %.1f MB above a"
        " baseline of %.1f MB (target 64)\n",
        direction.c_str(), rows, seconds, rows / seconds, reports, held, baseline / 1e6);
    return held;
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

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc == 4 && std::string(argv[1]) == "--memory-child")
        return MemoryChild(argv[2], argv[3]);

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
        if (flag == "--only")
            options.only = argv[i + 1];
    }
    try {
        BenchDialogs dialogs;
        auto wanted = [&](const char* part) {
            return options.only.empty() || options.only == part;
        };
        Ratio toPostgreSQL, toPostgreSQLLarge, toSybase, refused;
        double memory = 0, memoryLarge = 0, listing = 0;
        if (wanted("to-postgresql")) {
            toPostgreSQL = MeasureToPostgreSQL(options.rows, true, dialogs);
            toPostgreSQLLarge = MeasureToPostgreSQL(options.largeRows, false, dialogs);
        }
        if (wanted("to-sybase"))
            toSybase = MeasureToSybase(options.rows, true, dialogs);
        if (wanted("refused"))
            refused = MeasureRefusedRows(options.largeRows, 100, dialogs);
        if (wanted("memory")) {
            memory = MeasureMemory(options.rows);
            memoryLarge = MeasureMemory(options.memoryRows);
        }
        if (wanted("listing"))
            listing = MeasureListing(options.tables);
        std::printf(
            "summary: to PostgreSQL %.2f and %.2f of COPY (target 0.5); to SQL Anywhere %.2f of a "
            "bare bulk load (target 0.5); with 100 refused rows %.2f of COPY (target 0.25); peak "
            "memory %.0f MB at %ld rows and %.0f MB at %ld rows (target 64); listing %.2f s\n",
            toPostgreSQL.value, toPostgreSQLLarge.value, toSybase.value, refused.value, memory,
            options.rows, memoryLarge, options.memoryRows, listing);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
