// Benchmark of the transfer, the memory it holds and the list fills, against the
// databases that scripts/bench starts. Prints its figures; the last line sums them up.
//
//   korvanta_bench [--rows N] [--memory-rows M] [--tables T]
//   korvanta_bench --memory-child DIRECTION TABLE   (internal: one send in a fresh process)
#include <QApplication>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchDialogs.h"
#include "BenchWindow.h"
#include "Measure.h"
#include "adodb/Connection.h"
#include "catalog/TableListing.h"
#include "connect/ConnectionString.h"
#include "transfer/Datatype.h"
#include "transfer/RowStatement.h"

using namespace korvanta;

namespace {

struct Options {
    long rows = 100000;
    long memoryRows = 1000000;
    int tables = 20000;
    std::string only;  // to-postgresql, to-sybase, memory or listing: that part alone
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
    const std::string path = QDir::tempPath().toStdString() + "/korvanta-bench-script.sql";
    std::ofstream(path) << sql << "\n";
    const std::string out = Run(client + " < " + path);
    std::remove(path.c_str());
    return out;
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

// The INSERT texts that the transfer sends for a table, written to a file for the bare
// loop, built by the same statement code from the same record set.
long WriteInsertTexts(Direction direction, const std::string& sourceTable,
                      const std::string& targetTable, const std::string& path) {
    const ConnectionValues values = BenchConnectionValues();
    adodb::Connection source;
    source.CursorLocation = adodb::adUseClient;
    source.Open(direction == Direction::ToPostgreSQL ? SybaseConnectionString(values)
                                                     : PostgreSQLConnectionString(values));
    adodb::Recordset rows;
    rows.Open("SELECT * FROM \"" + sourceTable + "\"", source);
    std::vector<SourceColumn> columns;
    for (int i = 0; i < rows.Fields().Count(); ++i) {
        columns.push_back({rows.Fields()[i].Name(), rows.Fields()[i].Type()});
    }
    const CreateTable create = BuildCreateTable(direction, targetTable, columns);
    const RowStatement statement(direction, targetTable, create.numericColumns);
    std::ofstream out(path, std::ios::binary);
    std::string buffer;
    long count = 0;
    while (!rows.IsEOF()) {
        statement.Begin(buffer);
        for (int i = 0; i < rows.Fields().Count(); ++i) {
            statement.AddValue(buffer, i, rows.Fields()[i].Value());
        }
        statement.End(buffer);
        out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        out.put('\0');
        rows.MoveNext();
        ++count;
    }
    return count;
}

double BareRowsPerSecond(const std::string& connection, const std::string& path, bool wide) {
    const std::string bare = QCoreApplication::applicationDirPath().toStdString() + "/bare_insert";
    const std::string out =
        Run(bare + " '" + connection + "' " + path + (wide ? " --wide" : "") + " 2>&1");
    std::fprintf(stdout, "  bare ODBC loop: %s", out.c_str());
    const size_t at = out.find("rows/s ");
    return std::stod(out.substr(at + 7));
}

struct Throughput {
    double tool = 0;
    double floor = 0;
};

Throughput MeasureToSybase(long rows, BenchWindow& window, BenchDialogs& dialogs) {
    std::printf("Send to SQL Anywhere: %ld rows from PostgreSQL\n", rows);
    MakePostgreSQLSource("bench_src", rows);
    Sqlite("DROP TABLE IF EXISTS bench_src;");
    window.list1->Clear();
    Stopwatch watch;
    window.Send(Direction::ToSybase, "bench_src", BenchConnectionValues(), dialogs);
    const double seconds = watch.Seconds();
    const long copied = Number(Sqlite("SELECT count(*) FROM bench_src;"));
    Throughput t;
    t.tool = copied / seconds;
    std::printf("  tool: %ld rows in %.2f s, %.0f rows/s, %d error reports\n", copied, seconds,
                t.tool, dialogs.reports);

    const std::string path = QDir::tempPath().toStdString() + "/korvanta-bench-to-sybase.sql";
    WriteInsertTexts(Direction::ToSybase, "bench_src", "bench_src", path);
    const std::string create = Sqlite("SELECT sql FROM sqlite_master WHERE name = 'bench_src';");
    Sqlite("DROP TABLE bench_src;" + create + ";");
    t.floor = BareRowsPerSecond("DSN=" + Env("KV_DSN"), path, false);
    std::remove(path.c_str());
    std::printf("  ratio tool / bare loop: %.3f\n", t.tool / t.floor);
    return t;
}

Throughput MeasureToPostgreSQL(long rows, BenchWindow& window, BenchDialogs& dialogs) {
    std::printf("Send to PostgreSQL: %ld rows from SQL Anywhere\n", rows);
    MakeSqliteSource("BenchSrc", rows);
    Psql("DROP TABLE IF EXISTS \"BenchSrc\";");
    window.list2->Clear();
    Stopwatch watch;
    window.Send(Direction::ToPostgreSQL, "BenchSrc", BenchConnectionValues(), dialogs);
    const double seconds = watch.Seconds();
    const long copied = Number(Psql("SELECT count(*) FROM \"BenchSrc\";"));
    Throughput t;
    t.tool = copied / seconds;
    std::printf("  tool: %ld rows in %.2f s, %.0f rows/s, %d error reports\n", copied, seconds,
                t.tool, dialogs.reports);

    const std::string path = QDir::tempPath().toStdString() + "/korvanta-bench-to-pg.sql";
    WriteInsertTexts(Direction::ToPostgreSQL, "BenchSrc", "BenchSrc", path);
    Psql("TRUNCATE \"BenchSrc\";");
    t.floor = BareRowsPerSecond(PostgreSQLConnectionString(BenchConnectionValues()), path, true);
    std::remove(path.c_str());
    std::printf("  ratio tool / bare loop: %.3f\n", t.tool / t.floor);

    // What the database itself takes: COPY of the same data through psql.
    const std::string csv = QDir::tempPath().toStdString() + "/korvanta-bench.csv";
    Psql("\\copy \"BenchSrc\" TO '" + csv + "' csv");
    Psql("DROP TABLE IF EXISTS bench_copy; CREATE TABLE bench_copy (LIKE \"BenchSrc\");");
    Stopwatch copyWatch;
    Psql("\\copy bench_copy FROM '" + csv + "' csv");
    const double copySeconds = copyWatch.Seconds();
    std::remove(csv.c_str());
    std::printf("  COPY through psql: %ld rows in %.2f s, %.0f rows/s\n", copied, copySeconds,
                copied / copySeconds);
    Psql("DROP TABLE bench_copy;");
    return t;
}

// Sends one table in this process and prints the peak resident memory it took.
int MemoryChild(const std::string& direction, const std::string& table) {
    BenchDialogs dialogs;
    BenchWindow window;
    const long long before = ResidentBytes();
    ResetPeakResident();
    window.Send(direction == "to-sybase" ? Direction::ToSybase : Direction::ToPostgreSQL,
                QString::fromStdString(table), BenchConnectionValues(), dialogs);
    std::printf("peak %lld baseline %lld reports %d\n", PeakResidentBytes(), before,
                dialogs.reports);
    return 0;
}

struct MemoryFigure {
    double textBytes = 0;
    double heldBytes = 0;
};

MemoryFigure MemoryOfOneSend(const std::string& direction, const std::string& table, long rows,
                             double textBytes) {
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    Stopwatch watch;
    const std::string out = Run(self + " --memory-child " + direction + " " + table);
    long long peak = 0, baseline = 0;
    int reports = 0;
    std::sscanf(out.c_str(), "peak %lld baseline %lld reports %d", &peak, &baseline, &reports);
    const double held = static_cast<double>(peak - baseline);
    std::printf("  %ld rows sent in %.1f s, %d error reports\n", rows, watch.Seconds(), reports);
    std::printf(
        "  text of the table %.1f MB; peak resident %.1f MB over a baseline of %.1f MB;"
        " %.2f bytes per text byte\n",
        textBytes / 1e6, held / 1e6, baseline / 1e6, held / textBytes);
    return {textBytes, held};
}

// The text of a table: every value in the text form that the transfer holds.
const char* const kTextLength =
    "sum(coalesce(length(id || ''), 0) + coalesce(length(big || ''), 0) +"
    " coalesce(length(amount || ''), 0) + coalesce(length(label), 0) +"
    " coalesce(length(stamp || ''), 0) + coalesce(length(flag::int || ''), 0))";

double MeasureMemory(long rows) {
    std::printf("Memory: sending %ld rows from SQL Anywhere to PostgreSQL\n", rows);
    MakeSqliteSource("BenchMem", rows);
    Psql("DROP TABLE IF EXISTS \"BenchMem\";");
    const double sqliteText = std::stod(
        Sqlite("SELECT sum(length(coalesce(id, '')) + length(coalesce(big, '')) +"
               " length(coalesce(amount, '')) + length(coalesce(label, '')) +"
               " length(coalesce(stamp, '')) + length(coalesce(flag, ''))) FROM BenchMem;"));
    const MemoryFigure fromSqlite = MemoryOfOneSend("to-postgresql", "BenchMem", rows, sqliteText);
    Psql("DROP TABLE IF EXISTS \"BenchMem\";");
    Sqlite("DROP TABLE BenchMem;");

    // The other way the PostgreSQL driver holds the whole result itself as well.
    std::printf("Memory: sending %ld rows from PostgreSQL to SQL Anywhere\n", rows);
    MakePostgreSQLSource("bench_mem", rows);
    Sqlite("DROP TABLE IF EXISTS bench_mem;");
    const double pgText =
        std::stod(Psql(std::string("SELECT ") + kTextLength + " FROM bench_mem;"));
    MemoryOfOneSend("to-sybase", "bench_mem", rows, pgText);
    Psql("DROP TABLE bench_mem;");
    Sqlite("DROP TABLE IF EXISTS bench_mem;");
    return fromSqlite.heldBytes / fromSqlite.textBytes;
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
        if (flag == "--memory-rows")
            options.memoryRows = std::stol(argv[i + 1]);
        if (flag == "--tables")
            options.tables = std::stoi(argv[i + 1]);
        if (flag == "--only")
            options.only = argv[i + 1];
    }
    try {
        BenchDialogs dialogs;
        BenchWindow window;
        auto wanted = [&](const char* part) {
            return options.only.empty() || options.only == part;
        };
        const Throughput toPostgreSQL = wanted("to-postgresql")
                                            ? MeasureToPostgreSQL(options.rows, window, dialogs)
                                            : Throughput{};
        const Throughput toSybase =
            wanted("to-sybase") ? MeasureToSybase(options.rows, window, dialogs) : Throughput{};
        const double memory = wanted("memory") ? MeasureMemory(options.memoryRows) : 0;
        const double listing = wanted("listing") ? MeasureListing(options.tables) : 0;
        std::printf(
            "throughput ratio to PostgreSQL %.2f, to SQL Anywhere %.2f; "
            "peak memory per text byte %.2f; listing %.2f s\n",
            toPostgreSQL.tool / toPostgreSQL.floor, toSybase.tool / toSybase.floor, memory,
            listing);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
