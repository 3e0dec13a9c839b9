// The fault relay between libpq and the test server: it passes queries and COPY on
// unchanged, cuts a connection only once its COMMIT has taken effect, and stalls.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/FaultProxy.h"
#include "support/TestDatabases.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;
using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Connection Connect(int port) {
    const testdb::PgLogin login = testdb::pg();
    const std::string portText = std::to_string(port);
    // sslmode=prefer makes libpq ask for SSL first, which the relay must refuse itself.
    const char* keys[] = {
        "host", "port", "user", "password", "dbname", "sslmode", "connect_timeout", nullptr};
    const char* values[] = {login.server.c_str(),
                            portText.c_str(),
                            login.user.c_str(),
                            login.password.c_str(),
                            login.database.c_str(),
                            "prefer",
                            "5",
                            nullptr};
    Connection connection(PQconnectdbParams(keys, values, 0), &PQfinish);
    EXPECT_EQ(PQstatus(connection.get()), CONNECTION_OK) << PQerrorMessage(connection.get());
    return connection;
}

Result Exec(PGconn* connection, const std::string& sql) {
    return Result(PQexec(connection, sql.c_str()), &PQclear);
}

bool Succeeded(const Result& result) {
    const ExecStatusType status = PQresultStatus(result.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

std::string Copy(PGconn* connection, const std::string& table,
                 const std::vector<std::string>& rows) {
    if (PQresultStatus(Exec(connection, "COPY " + table + " FROM STDIN").get()) != PGRES_COPY_IN)
        return PQerrorMessage(connection);
    for (const std::string& row : rows)
        PQputCopyData(connection, row.data(), static_cast<int>(row.size()));
    PQputCopyEnd(connection, nullptr);
    const Result result(PQgetResult(connection), &PQclear);
    return Succeeded(result) ? "" : PQerrorMessage(connection);
}

int OpenDescriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator{}));
}

// Whether an answer (or the news of a broken connection) arrives within the time.
bool AnswerWithin(PGconn* connection, std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    while (PQisBusy(connection)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms)
            return false;
        pollfd socket{PQsocket(connection), POLLIN, 0};
        if (::poll(&socket, 1, static_cast<int>(left.count())) > 0 &&
            PQconsumeInput(connection) == 0)
            return true;
    }
    return true;
}

class FaultProxyTest : public ::testing::Test {
  protected:
    FaultProxyTest() { StartProxy(); }
    void StartProxy() { proxy.emplace(testdb::pg().server, std::stoi(testdb::pg().port)); }
    void TearDown() override {
        // The server ends the transactions of the relayed connections; then the table is free.
        proxy.reset();
        testdb::psql("DROP TABLE IF EXISTS " + table);
    }

    std::optional<testdb::FaultProxy> proxy;
    std::string table = testdb::uniqueName("kv_proxy");
};

TEST_F(FaultProxyTest, RelaysQueriesAndCopyOfMegabytesBothWays) {
    Connection client = Connect(proxy->Port());
    EXPECT_EQ(PQsslInUse(client.get()), 0);
    const Result answer = Exec(client.get(), "SELECT 6 * 7");
    ASSERT_TRUE(Succeeded(answer)) << PQerrorMessage(client.get());
    EXPECT_STREQ(PQgetvalue(answer.get(), 0, 0), "42");

    ASSERT_TRUE(Succeeded(Exec(client.get(), "CREATE TABLE " + table + " (s text)")));
    // One CopyData message of 4 MB, split across many reads and writes, among small ones.
    const std::string big(4 << 20, 'x');
    ASSERT_EQ(Copy(client.get(), table, {"a\n", big + "\n", "b\n"}), "");
    EXPECT_EQ(testdb::psql("SELECT count(*), sum(length(s)) FROM " + table),
              std::vector<std::string>{"3|" + std::to_string(big.size() + 2)});
    // And back: a data row of 4 MB from the server.
    const Result rows = Exec(client.get(), "SELECT string_agg(s, '' ORDER BY s) FROM " + table);
    ASSERT_TRUE(Succeeded(rows)) << PQerrorMessage(client.get());
    EXPECT_EQ(PQgetvalue(rows.get(), 0, 0), "a" + std::string("b") + big);

    EXPECT_EQ(proxy->Connections(), 1);
    const auto seen = proxy->Statements().at(0);
    EXPECT_EQ(seen.front(), "SELECT 6 * 7");
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "COPY " + table + " FROM STDIN"), 1);
}

TEST_F(FaultProxyTest, CutsTheCopyingConnectionOnlyAfterTheServerCommitted) {
    proxy->CutAfterCommit(1, true);
    Connection copier = Connect(proxy->Port());
    Connection other = Connect(proxy->Port());
    ASSERT_TRUE(Succeeded(Exec(copier.get(), "CREATE TABLE " + table + " (n int)")));
    // A connection that never copied commits freely.
    ASSERT_TRUE(Succeeded(Exec(other.get(), "BEGIN")));
    ASSERT_TRUE(Succeeded(Exec(other.get(), "INSERT INTO " + table + " VALUES (100)")));
    ASSERT_TRUE(Succeeded(Exec(other.get(), "commit"))) << PQerrorMessage(other.get());

    ASSERT_TRUE(Succeeded(Exec(copier.get(), "BEGIN")));
    ASSERT_EQ(Copy(copier.get(), table, {"1\n", "2\n", "3\n"}), "");
    const Result commit = Exec(copier.get(), "COMMIT");
    EXPECT_FALSE(Succeeded(commit));
    EXPECT_EQ(PQstatus(copier.get()), CONNECTION_BAD);
    EXPECT_EQ(proxy->CommitsCut(), 1);
    EXPECT_EQ(testdb::psql("SELECT count(*) FROM " + table), std::vector<std::string>{"4"});
    EXPECT_TRUE(Succeeded(Exec(other.get(), "SELECT 1"))) << PQerrorMessage(other.get());
}

TEST_F(FaultProxyTest, CutsTheNthCommitAlsoWhenItComesAsAParsedStatement) {
    Connection client = Connect(proxy->Port());
    ASSERT_TRUE(Succeeded(Exec(client.get(), "CREATE TABLE " + table + " (n int)")));
    ASSERT_TRUE(Succeeded(Exec(client.get(), "BEGIN")));
    ASSERT_EQ(Copy(client.get(), table, {"1\n"}), "");
    proxy->CutAfterCommit(2, true);
    ASSERT_TRUE(Succeeded(Exec(client.get(), " End ;")));
    ASSERT_TRUE(Succeeded(Exec(client.get(), "BEGIN")));
    ASSERT_TRUE(Succeeded(Exec(client.get(), "INSERT INTO " + table + " VALUES (2)")));

    // Parse, Bind, Execute, Sync: the answer comes only once the Sync has passed too.
    const Result commit(
        PQexecParams(client.get(), "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0), &PQclear);
    EXPECT_FALSE(Succeeded(commit));
    EXPECT_EQ(PQstatus(client.get()), CONNECTION_BAD);
    EXPECT_EQ(proxy->CommitsCut(), 1);
    EXPECT_EQ(testdb::psql("SELECT count(*) FROM " + table), std::vector<std::string>{"2"});
}

TEST_F(FaultProxyTest, StalledServerAnswersNothingUntilResumedAndTheProxyStillEnds) {
    proxy.reset();
    const int descriptors = OpenDescriptors();
    StartProxy();
    Connection client = Connect(proxy->Port());
    proxy->StallAll();
    ASSERT_EQ(PQsendQuery(client.get(), "SELECT 7"), 1);
    EXPECT_FALSE(AnswerWithin(client.get(), 2s));

    proxy->Resume();
    ASSERT_TRUE(AnswerWithin(client.get(), 5s));
    const Result answer(PQgetResult(client.get()), &PQclear);
    ASSERT_TRUE(Succeeded(answer)) << PQerrorMessage(client.get());
    EXPECT_STREQ(PQgetvalue(answer.get(), 0, 0), "7");
    Result(PQgetResult(client.get()), &PQclear);

    proxy->StallAll();
    ASSERT_EQ(PQsendQuery(client.get(), "SELECT 8"), 1);
    EXPECT_FALSE(AnswerWithin(client.get(), 200ms));
    const auto start = Clock::now();
    proxy.reset();
    EXPECT_LT(Clock::now() - start, 1s);
    // The client learns that its connection is gone instead of waiting for ever.
    ASSERT_TRUE(AnswerWithin(client.get(), 5s));
    const Result lost(PQgetResult(client.get()), &PQclear);
    EXPECT_FALSE(Succeeded(lost));
    client.reset();
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(FaultProxyTest, StallsMidCopyAfterTheNthCopyDataThenCutAllEndsIt) {
    Connection client = Connect(proxy->Port());
    ASSERT_TRUE(Succeeded(Exec(client.get(), "CREATE TABLE " + table + " (n int)")));
    proxy->StallAfterCopyData(3);
    ASSERT_EQ(PQresultStatus(Exec(client.get(), "COPY " + table + " FROM STDIN").get()),
              PGRES_COPY_IN);
    for (int n = 1; n <= 10; ++n) {
        const std::string row = std::to_string(n) + "\n";
        PQputCopyData(client.get(), row.data(), static_cast<int>(row.size()));
    }
    ASSERT_EQ(PQputCopyEnd(client.get(), nullptr), 1);

    // The server has read three rows and waits for more.
    const std::string progress =
        "SELECT tuples_processed FROM pg_stat_progress_copy WHERE relid = '" + table +
        "'::regclass";
    std::vector<std::string> processed;
    for (const auto deadline = Clock::now() + 5s; Clock::now() < deadline;) {
        processed = testdb::psql(progress);
        if (processed == std::vector<std::string>{"3"})
            break;
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(processed, std::vector<std::string>{"3"});
    EXPECT_FALSE(AnswerWithin(client.get(), 300ms));
    EXPECT_EQ(testdb::psql(progress), std::vector<std::string>{"3"});

    proxy->CutAll();
    ASSERT_TRUE(AnswerWithin(client.get(), 5s));
    EXPECT_FALSE(Succeeded(Result(PQgetResult(client.get()), &PQclear)));
    // The relay still takes new connections.
    Connection again = Connect(proxy->Port());
    EXPECT_TRUE(Succeeded(Exec(again.get(), "SELECT 1")));
    EXPECT_EQ(proxy->Connections(), 2);
}

}  // namespace
