// The engine's send under faults made from outside, against the real servers: a relay in
// front of PostgreSQL loses the answer to a COMMIT that took effect, or stops answering in
// the middle of a COPY; another process holds SQLite's write lock; a SQLite file has a
// damaged page; the address space runs out. Driven through the engine's own interface,
// with no window.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "engine/send/TransferRun.h"
#include "support/FaultProxy.h"
#include "support/SqliteShell.h"
#include "support/TestDatabases.h"

using korvanta::Side;
using Rows = std::vector<std::string>;

namespace {

// Keeps what the run said.
class Recorder : public korvanta::TransferListener {
  public:
    bool AskOverwrite(const std::string&) override { return false; }
    void Failed(int line, const adodb::Error& error, const std::string& statement) override {
        std::lock_guard lock(mutex_);
        reports.push_back(std::to_string(line) + ": " + error.what());
        statements.push_back(statement);
    }
    void TableFinished(const korvanta::TableOutcome& outcome) override {
        outcomes.push_back(outcome);
    }
    void Progress(long long done, long long) override {
        if (done > 0 && whileCopying) {
            whileCopying();
            whileCopying = nullptr;
        }
    }

    std::string All() const {
        std::string all;
        for (const std::string& report : reports)
            all += report + "\n---\n";
        return all;
    }

    std::vector<std::string> reports;
    std::vector<std::string> statements;  // quoted by each report
    std::vector<korvanta::TableOutcome> outcomes;
    std::function<void()> whileCopying;  // run once, when the first rows have landed

  private:
    std::mutex mutex_;
};

class SendFault : public ::testing::Test {
  protected:
    // A SQLite table of n rows (id 1..n) and a send of it to PostgreSQL through the relay.
    korvanta::SendRequest Request(const std::string& table, int rows) {
        testdb::sqlite("CREATE TABLE \"" + table +
                       "\"(id INTEGER, label TEXT);"
                       "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " +
                       std::to_string(rows) + ") INSERT INTO \"" + table +
                       "\" SELECT i, 'row ' || i FROM c;");
        korvanta::SendRequest request;
        request.target = Side::PostgreSQL;
        request.tables = {table};
        request.values = testdb::connectionValues();
        request.values.server = QStringLiteral("127.0.0.1");
        request.values.port = QString::number(proxy.Port());
        return request;
    }

    testdb::FaultProxy proxy{"127.0.0.1", std::stoi(testdb::pg().port)};
};

TEST_F(SendFault, ALostCommitAnswerIsLookedUpAndNoRowIsSentTwice) {
    const std::string t = testdb::uniqueName("fault_commit");
    korvanta::SendRequest request = Request(t, 40000);
    proxy.CutAfterCommit(1);
    Recorder recorder;

    korvanta::SendTables(request, recorder);

    EXPECT_EQ(proxy.CommitsCut(), 1);
    EXPECT_TRUE(recorder.reports.empty()) << recorder.All();
    EXPECT_EQ(
        testdb::psql("SELECT count(*), count(DISTINCT id), min(id), max(id) FROM \"" + t + "\""),
        Rows{"40000|40000|1|40000"});
    ASSERT_EQ(recorder.outcomes.size(), 1u);
    EXPECT_TRUE(recorder.outcomes[0].complete);
    EXPECT_EQ(recorder.outcomes[0].landed, 40000);
}

// The answer to a COMMIT is lost and the server cannot be reached to ask what became of it:
// the table stops with the run counted as uncertain, and the send ends there, as for any
// lost connection; the next table is never tried on it.
TEST_F(SendFault, ACommitThatCannotBeLookedUpEndsTheSend) {
    const std::string t = testdb::uniqueName("fault_unknown");
    korvanta::SendRequest request = Request(t, 40000);
    const std::string next = t + "_next";
    testdb::sqlite("CREATE TABLE \"" + next + "\"(id INTEGER); INSERT INTO \"" + next +
                   "\" VALUES (1);");
    request.tables.push_back(next);
    request.settings.commandTimeoutSeconds = 3;
    proxy.CutAfterCommit(1, true, true);
    Recorder recorder;

    korvanta::SendTables(request, recorder);

    EXPECT_EQ(proxy.CommitsCut(), 1);
    ASSERT_EQ(recorder.reports.size(), 2u) << recorder.All();
    EXPECT_NE(recorder.reports[0].find("whether they arrived could not be learned"),
              std::string::npos)
        << recorder.All();
    ASSERT_EQ(recorder.outcomes.size(), 1u) << recorder.All();
    EXPECT_FALSE(recorder.outcomes[0].complete);
    proxy.CutAll();
    proxy.Resume();
    // The run whose answer was lost did commit: the report's count and its uncertain rows
    // hold what the table holds.
    const long long held = std::stoll(testdb::psql("SELECT count(*) FROM \"" + t + "\"")[0]);
    const std::regex stopped("stopped: (\\d+) of 40000 rows arrived, and whether (\\d+) more");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(recorder.reports[1], match, stopped)) << recorder.All();
    EXPECT_GE(held, std::stoll(match[1]));
    EXPECT_LE(held, std::stoll(match[1]) + std::stoll(match[2]));
    EXPECT_EQ(testdb::psql("SELECT count(*) FROM pg_tables WHERE tablename = '" + next + "'"),
              Rows{"0"});
}

// Row by row, every connection cut under the run: the report of the INSERT whose answer
// was lost and the closing report quote that same INSERT, and the count is true.
TEST_F(SendFault, ALostConnectionIsQuotedByBothItsReports) {
    const std::string t = testdb::uniqueName("fault_cut");
    korvanta::SendRequest request = Request(t, 20000);
    request.settings.oneStatementPerRow = true;
    Recorder recorder;
    recorder.whileCopying = [&] { proxy.CutAll(); };

    korvanta::SendTables(request, recorder);

    ASSERT_EQ(recorder.reports.size(), 2u) << recorder.All();
    EXPECT_NE(recorder.reports[1].find("stopped:"), std::string::npos) << recorder.All();
    EXPECT_EQ(recorder.statements[0].rfind("INSERT INTO", 0), 0u) << recorder.statements[0];
    EXPECT_EQ(recorder.statements[1], recorder.statements[0]);
    ASSERT_EQ(recorder.outcomes.size(), 1u);
    const long long landed = recorder.outcomes[0].landed;
    const long long held = std::stoll(testdb::psql("SELECT count(*) FROM \"" + t + "\"")[0]);
    // The INSERT whose answer was lost may have landed: at most one more.
    EXPECT_GE(held, landed);
    EXPECT_LE(held, landed + 1);
}

TEST_F(SendFault, AServerThatStopsAnsweringMidCopyEndsTheTableWithinTheTimeout) {
    const std::string t = testdb::uniqueName("fault_stall");
    korvanta::SendRequest request = Request(t, 100000);
    request.settings.commandTimeoutSeconds = 3;
    request.settings.transientWaitSeconds = 1;
    proxy.StallAfterCopyData(3);
    Recorder recorder;

    const auto start = std::chrono::steady_clock::now();
    korvanta::SendTables(request, recorder);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();

    EXPECT_LT(seconds, 60) << "bounded by the command timeout, not the server";
    ASSERT_EQ(recorder.outcomes.size(), 1u);
    const korvanta::TableOutcome& outcome = recorder.outcomes[0];
    EXPECT_FALSE(outcome.complete);
    ASSERT_FALSE(recorder.reports.empty());
    // The last report says how many rows arrived, and that is what the table holds.
    EXPECT_NE(recorder.reports.back().find("stopped: " + std::to_string(outcome.landed) +
                                           " of 100000 rows arrived"),
              std::string::npos)
        << recorder.All();
    // The server's side of the stalled connections ends with them.
    proxy.CutAll();
    EXPECT_EQ(testdb::psql("SELECT count(*) FROM \"" + t + "\""),
              Rows{std::to_string(outcome.landed)});
}

// While the server holds the writer's COPY, the reader runs ahead and checks the values of
// the batches it queues: a value the server would take and change (a negative zero of a
// decimal column) is refused in its place whichever side checked it, and every other row
// lands once.
TEST_F(SendFault, ValuesCheckedWhileTheWriterWaitsAreRefusedInTheirPlace) {
    const std::string t = testdb::uniqueName("fault_checked");
    korvanta::SendRequest request = Request(t, 100000);
    testdb::sqlite("ALTER TABLE \"" + t + "\" ADD COLUMN amount NUMERIC TEXT(12,2); UPDATE \"" + t +
                   "\" SET amount = '-0.00' WHERE id IN (2, 60000, 99999);");
    request.settings.exactSchema = true;  // a decimal column there too
    proxy.StallAfterCopyData(1);
    std::thread resume([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        proxy.Resume();
    });
    Recorder recorder;

    korvanta::SendTables(request, recorder);
    resume.join();

    ASSERT_EQ(recorder.reports.size(), 3u) << recorder.All();
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string id = i == 0 ? "2" : i == 1 ? "60000" : "99999";
        EXPECT_NE(recorder.statements[i].find("VALUES('" + id + "', "), std::string::npos)
            << recorder.statements[i];
    }
    ASSERT_EQ(recorder.outcomes.size(), 1u);
    EXPECT_TRUE(recorder.outcomes[0].complete);
    EXPECT_EQ(recorder.outcomes[0].refused, 3);
    EXPECT_EQ(testdb::psql("SELECT count(*), count(DISTINCT id), sum(id) FROM \"" + t + "\""),
              Rows{"99997|99997|" + std::to_string(100000LL * 100001 / 2 - 2 - 60000 - 99999)});
}

}  // namespace

namespace {

// A SQLite file of the test's own behind a data source of its own, defined in an odbc.ini
// of its own: the driver's busy wait is 200 ms instead of its default 100 s, so that the
// engine's retries, not the driver, wait out another process's lock.
class OwnDataSource {
  public:
    OwnDataSource() {
        std::filesystem::create_directories(folder_);
        std::ofstream(folder_ / "odbc.ini")
            << "[" << name_ << "]\nDriver=SQLite3\nDatabase=" << file_
            << "\nSyncPragma=NORMAL\nJournalMode=WAL\nStepAPI=1\nTimeout=200\n";
        if (const char* ini = std::getenv("ODBCINI"))
            previousIni_ = ini;
        setenv("ODBCINI", (folder_ / "odbc.ini").c_str(), 1);
    }
    ~OwnDataSource() {
        if (previousIni_)
            setenv("ODBCINI", previousIni_->c_str(), 1);
        else
            unsetenv("ODBCINI");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    OwnDataSource(const OwnDataSource&) = delete;
    OwnDataSource& operator=(const OwnDataSource&) = delete;

    korvanta::ConnectionValues Values() const {
        korvanta::ConnectionValues values = testdb::connectionValues();
        values.dataSourceName = QString::fromStdString(name_);
        return values;
    }
    const std::string& File() const { return file_; }
    Rows Sqlite(const std::string& sql) const { return testdb::sqlite(sql, file_); }

  private:
    const std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() / testdb::uniqueName("kv_sendfault");
    const std::string name_ = testdb::uniqueName("SendFaultSource");
    const std::string file_ = (folder_ / "own.sqlite").string();
    std::optional<std::string> previousIni_;
};

std::string StoppedReport(const std::string& table, long long landed, const std::string& of) {
    return "The copy of table \"" + table + "\" stopped: " + std::to_string(landed) + " of " + of +
           " rows arrived";
}

TEST_F(SendFault, AnotherProcessHoldingTheTargetsWriteLock) {
    using std::chrono::milliseconds;
    struct Case {
        const char* what;
        bool lockedFirst;                  // before the send, else once rows have landed
        std::optional<milliseconds> held;  // none: until the send has ended
        int transientWaitSeconds;
    };
    const Case cases[] = {
        {"locked when the send starts: CREATE TABLE waits", true, milliseconds(2000), 60},
        {"locked while the rows go: waited out", false, milliseconds(2000), 60},
        {"locked for longer than the wait: the table stops", false, std::nullopt, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OwnDataSource target;
        target.Sqlite("PRAGMA journal_mode=WAL;");
        const std::string t = testdb::uniqueName("fault_busy");
        testdb::psql("CREATE TABLE " + t +
                     "_rows AS SELECT i AS id, 'row ' || i AS label FROM generate_series(1, "
                     "50000) i");
        // Sent through a view that pauses for a second at row 20000, once the first run of
        // rows (16384) can have landed: the lock taken then is surely there before the next.
        testdb::psql("CREATE VIEW " + t + " AS SELECT * FROM " + t +
                     "_rows WHERE id <> 20000 OR (SELECT true FROM pg_sleep(1))");
        korvanta::SendRequest request;
        request.target = Side::SqlAnywhere;
        request.tables = {t + (c.lockedFirst ? "_rows" : "")};
        request.values = target.Values();
        request.settings.transientWaitSeconds = c.transientWaitSeconds;

        testdb::SqliteShell holder(target.File());
        std::thread release;
        auto released = std::chrono::steady_clock::time_point::max();
        const auto lock = [&] {
            holder.Run(".timeout 20000\nBEGIN IMMEDIATE;");
            if (c.held) {
                release = std::thread([&] {
                    std::this_thread::sleep_for(*c.held);
                    holder.Run("ROLLBACK;");
                    released = std::chrono::steady_clock::now();
                });
            }
        };
        Recorder recorder;
        if (c.lockedFirst)
            lock();
        else
            recorder.whileCopying = lock;

        korvanta::SendTables(request, recorder);
        const auto finished = std::chrono::steady_clock::now();
        if (release.joinable())
            release.join();
        else
            holder.Run("ROLLBACK;");

        ASSERT_EQ(recorder.outcomes.size(), 1u);
        const korvanta::TableOutcome& outcome = recorder.outcomes[0];
        EXPECT_EQ(outcome.refused, 0);
        const Rows landed =
            target.Sqlite("SELECT count(*), count(DISTINCT id) FROM \"" + request.tables[0] + "\"");
        if (c.held) {
            EXPECT_GT(finished, released) << "the lock was met, not missed";
            EXPECT_TRUE(recorder.reports.empty()) << recorder.All();
            EXPECT_EQ(landed, Rows{"50000|50000"});
            EXPECT_TRUE(outcome.complete);
            EXPECT_EQ(outcome.landed, 50000);
        } else {
            EXPECT_FALSE(outcome.complete);
            ASSERT_EQ(recorder.reports.size(), 2u) << recorder.All();
            EXPECT_NE(recorder.reports[0].find("database is locked"), std::string::npos)
                << recorder.All();
            EXPECT_NE(recorder.reports[1].find(StoppedReport(t, outcome.landed, "50000")),
                      std::string::npos)
                << recorder.All();
            const std::string n = std::to_string(outcome.landed);
            EXPECT_EQ(landed, Rows{n + "|" + n});
        }
    }
}

// Overwrites bytes of the middle leaf page of the file's only table.
void DamageMiddlePage(const std::string& file, int pageSize, bool wholePage) {
    std::fstream data(file, std::ios::in | std::ios::out | std::ios::binary);
    const auto pages = static_cast<long long>(std::filesystem::file_size(file)) / pageSize;
    for (long long page = pages / 2; page < pages; ++page) {
        char header[8];
        data.seekg(page * pageSize);
        data.read(header, sizeof header);
        if (header[0] != 13)  // a table b-tree leaf
            continue;
        // Garbage among the cells leaves the page's header and the count of its cells.
        const int contentStart =
            (static_cast<unsigned char>(header[5]) << 8) | static_cast<unsigned char>(header[6]);
        const long long at =
            wholePage ? page * pageSize : page * pageSize + (contentStart + pageSize) / 2;
        const std::string garbage(wholePage ? pageSize : 64, '\xa5');
        data.seekp(at);
        data.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
        return;
    }
    throw std::runtime_error("no leaf page in the second half of " + file);
}

TEST_F(SendFault, ADamagedSqliteSourceNeverLooksComplete) {
    struct Case {
        const char* what;
        bool wholePage;
        const char* counted;  // as the stop report says it
    };
    const Case cases[] = {
        {"a page of garbage: not even counted", true, "its"},
        {"garbage among a page's rows: counted, not read", false, "100000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OwnDataSource source;
        const std::string t = testdb::uniqueName("fault_damaged");
        const Rows pageSize = source.Sqlite(
            "PRAGMA journal_mode=DELETE; CREATE TABLE \"" + t +
            "\"(id INTEGER, label TEXT); WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
            "FROM c WHERE i < 100000) INSERT INTO \"" +
            t + "\" SELECT i, 'row ' || i FROM c; PRAGMA page_size;");
        DamageMiddlePage(source.File(), std::stoi(pageSize.back()), c.wholePage);
        korvanta::SendRequest request;
        request.target = Side::PostgreSQL;
        request.tables = {t};
        request.values = source.Values();
        Recorder recorder;

        korvanta::SendTables(request, recorder);

        ASSERT_EQ(recorder.outcomes.size(), 1u);
        const korvanta::TableOutcome& outcome = recorder.outcomes[0];
        EXPECT_FALSE(outcome.complete);
        const Rows arrived = testdb::psql("SELECT count(*), count(DISTINCT id) FROM \"" + t + "\"");
        const std::string n = std::to_string(outcome.landed);
        EXPECT_EQ(arrived, Rows{n + "|" + n});
        EXPECT_LT(outcome.landed, 100000);
        // Garbage read as a value is refused by PostgreSQL (or, were it valid text, would
        // land: nothing in the file tells it from data); the reading then fails.
        EXPECT_EQ(outcome.refused, static_cast<long long>(recorder.reports.size()) - 2)
            << recorder.All();
        ASSERT_GE(recorder.reports.size(), 2u) << recorder.All();
        EXPECT_NE(
            recorder.reports.rbegin()[1].find("284: [SQLite]database disk image is malformed"),
            std::string::npos)
            << recorder.All();
        EXPECT_NE(recorder.reports.back().find(StoppedReport(t, outcome.landed, c.counted)),
                  std::string::npos)
            << recorder.All();
    }
}

}  // namespace

namespace {

long long StatusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key + ":", 0) == 0)
            return std::stoll(line.substr(key.size() + 1));
    }
    return -1;
}

// When the child's address space is capped: at the overwrite question (before the source
// is opened) or once the target's table is dropped (after it was opened).
enum class Cap { kNone, kBeforeOpen, kAfterOpen };

// Caps the address space at `megabytes` above its size at the chosen step.
class CappingRecorder final : public Recorder {
  public:
    CappingRecorder(Cap when, long long megabytes) : when_(when), megabytes_(megabytes) {}
    bool AskOverwrite(const std::string&) override {
        if (when_ == Cap::kBeforeOpen)
            CapNow();
        return true;
    }
    void TableDropped(const std::string&) override {
        if (when_ == Cap::kAfterOpen)
            CapNow();
    }
    void Lift() { setrlimit(RLIMIT_AS, &uncapped_); }

  private:
    void CapNow() {
        getrlimit(RLIMIT_AS, &uncapped_);
        rlimit limit = uncapped_;
        limit.rlim_cur = static_cast<rlim_t>(StatusKilobytes("VmSize") + megabytes_ * 1024) * 1024;
        setrlimit(RLIMIT_AS, &limit);
    }

    Cap when_;
    long long megabytes_;
    rlimit uncapped_{RLIM_INFINITY, RLIM_INFINITY};
};

// How a send in a child process went: how the child ended, and what it wrote.
struct ChildSend {
    int status = -1;  // as waitpid gives it
    std::string output;
};

// Sends in a child process, so that a crash or a cap ends no more than the child: first
// `warmUp` (drivers loaded, their connections made once), then `request`, whose table the
// target holds already and the child answers to overwrite. The child writes a line each:
// "peak KB" (its peak size in memory during the send above that before it), "report TEXT"
// per report and "outcome LANDED REFUSED COMPLETE".
ChildSend SendInChild(const korvanta::SendRequest& warmUp, const korvanta::SendRequest& request,
                      Cap when, long long capMegabytes) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        close(pipeEnds[0]);
        Recorder warm;
        korvanta::SendTables(warmUp, warm);
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak from here on
        const long long before = StatusKilobytes("VmHWM");
        CappingRecorder recorder(when, capMegabytes);
        korvanta::SendTables(request, recorder);
        const long long peak = StatusKilobytes("VmHWM") - before;
        recorder.Lift();
        std::ostringstream out;
        out << "peak " << peak << "\n";
        for (std::string report : warm.reports)
            out << "warm-up report " << report << "\n";
        for (std::string report : recorder.reports) {
            std::replace(report.begin(), report.end(), '\n', ' ');
            out << "report " << report.substr(0, 300) << "\n";
        }
        for (const korvanta::TableOutcome& outcome : recorder.outcomes)
            out << "outcome " << outcome.landed << " " << outcome.refused << " " << outcome.complete
                << "\n";
        const std::string text = out.str();
        const ssize_t written = write(pipeEnds[1], text.data(), text.size());
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 3);
    }
    close(pipeEnds[1]);
    ChildSend result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    char buffer[4096];
    for (;;) {
        pollfd readable{pipeEnds[0], POLLIN, 0};
        if (poll(&readable, 1, 100) > 0) {
            const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            result.output.append(buffer, static_cast<std::size_t>(n));
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            result.output += "killed after 60 s\n";
            break;
        }
    }
    close(pipeEnds[0]);
    waitpid(child, &result.status, 0);
    return result;
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line.substr(prefix.size()));
    }
    return lines;
}

// Three rows, the middle one 50 MB of text. From PostgreSQL the rows stream over COPY and
// the value goes on from libpq's own buffer; a cap that leaves libpq no room for the big
// row ends the reading there (the row before it lands, the row is reported as out of
// memory, the table as stopped); nothing crashes.
// Reading from SQLite, the value is read in pieces into our own buffers, which are what run
// out.
TEST_F(SendFault, OutOfMemoryOnAFiftyMegabyteValue) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator ends the program where the real one fails an "
                    "allocation, so running out of memory cannot be shown under it";
#endif
    // One way the send may end; each is exact about what did not arrive.
    struct Ending {
        Rows ids;             // what the target holds after
        const char* outcome;  // rows landed, refused, and whether complete
        const char* report;   // the start of the first report, if any, in lower case
        std::size_t reports;  // how many reports: a reading cut short adds one saying so
    };
    // libpq holding the big row runs out: the row before it lands, the reading stops there.
    const Ending libpqShort{{"1"}, "1 0 0", "262: out of memory", 2};
    const Ending whole{{"1", "2", "3"}, "3 0 1", nullptr, 0};
    struct Case {
        Side target;
        Cap when;
        long long capMegabytes;
        std::vector<Ending> endings;  // the ways it may end
    };
    const Case cases[] = {
        {Side::SqlAnywhere, Cap::kNone, 0, {whole}},
        {Side::PostgreSQL, Cap::kNone, 0, {whole}},
        {Side::SqlAnywhere, Cap::kBeforeOpen, 30, {libpqShort}},
        // Reading the value from SQLite runs out: that row is reported, the others go.
        {Side::PostgreSQL, Cap::kAfterOpen, 75, {{{"1", "3"}, "2 1 1", "238: out of memory", 1}}},
    };
    for (const Case& c : cases) {
        const bool toPostgreSQL = c.target == Side::PostgreSQL;
        SCOPED_TRACE(std::string(toPostgreSQL ? "SQLite to PostgreSQL" : "PostgreSQL to SQLite") +
                     ", cap " + std::to_string(c.capMegabytes) + " MB");
        const std::string t = testdb::uniqueName("fault_memory");
        const auto source = [&](const std::string& sql) {
            return toPostgreSQL ? testdb::sqlite(sql) : testdb::psql(sql);
        };
        const auto target = [&](const std::string& sql) {
            return toPostgreSQL ? testdb::psql(sql) : testdb::sqlite(sql);
        };
        const std::string fifty =
            toPostgreSQL ? "replace(hex(zeroblob(26214400)), '0', 'x')" : "repeat('x', 52428800)";
        source("CREATE TABLE " + t + "(id INTEGER, label TEXT); INSERT INTO " + t +
               " VALUES (1, 'one'); INSERT INTO " + t + " VALUES (2, " + fifty + "); INSERT INTO " +
               t + " VALUES (3, 'three'); CREATE TABLE " + t +
               "_warm(id INTEGER, label TEXT); INSERT INTO " + t + "_warm VALUES (1, 'one');");
        target("CREATE TABLE " + t + "(id INTEGER);");
        korvanta::SendRequest request;
        request.target = c.target;
        request.values = testdb::connectionValues();
        korvanta::SendRequest warmUp = request;
        warmUp.tables = {t + "_warm"};
        request.tables = {t};
        request.targetTables = {t};

        const ChildSend child = SendInChild(warmUp, request, c.when, c.capMegabytes);

        ASSERT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0)
            << "signal " << (WIFSIGNALED(child.status) ? WTERMSIG(child.status) : 0) << "\n"
            << child.output;
        const std::vector<std::string> outcome = LinesStartingWith(child.output, "outcome ");
        const std::vector<std::string> reports = LinesStartingWith(child.output, "report ");
        ASSERT_EQ(outcome.size(), 1u) << child.output;
        const auto ending = std::find_if(c.endings.begin(), c.endings.end(),
                                         [&](const Ending& e) { return outcome[0] == e.outcome; });
        ASSERT_NE(ending, c.endings.end()) << child.output;
        EXPECT_EQ(target("SELECT id FROM " + t + " ORDER BY id"), ending->ids) << child.output;
        if (c.when == Cap::kNone) {
            EXPECT_TRUE(reports.empty()) << child.output;
            EXPECT_EQ(target("SELECT length(label) FROM " + t + " WHERE id = 2"), Rows{"52428800"});
            const std::string peak = LinesStartingWith(child.output, "peak ").at(0);
            RecordProperty(toPostgreSQL ? "peakKilobytesToPostgreSQL" : "peakKilobytesToSQLite",
                           peak);
            std::cout << "Peak above idle, "
                      << (toPostgreSQL ? "SQLite to PostgreSQL" : "PostgreSQL to SQLite") << ": "
                      << peak << " kB\n";
        } else {
            ASSERT_EQ(reports.size(), ending->reports) << child.output;
            std::string report = reports[0];
            std::transform(report.begin(), report.end(), report.begin(),
                           [](unsigned char ch) { return std::tolower(ch); });
            EXPECT_EQ(report.rfind(ending->report, 0), 0u) << child.output;
        }
    }
}

}  // namespace
