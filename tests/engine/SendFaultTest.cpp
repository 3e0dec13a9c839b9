// The engine's send under faults made from outside, against the real servers: a relay in
// front of PostgreSQL loses the answer to a COMMIT that took effect, or stops answering in
// the middle of a COPY. Driven through the engine's own interface, with no window.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "engine/TransferRun.h"
#include "support/FaultProxy.h"
#include "support/TestDatabases.h"

using korvanta::Side;
using Rows = std::vector<std::string>;

namespace {

// Keeps what the run said.
class Recorder final : public korvanta::TransferListener {
  public:
    bool AskOverwrite(const std::string&) override { return false; }
    void Failed(int line, const adodb::Error& error, const std::string&) override {
        std::lock_guard lock(mutex_);
        reports.push_back(std::to_string(line) + ": " + error.what());
    }
    void TableFinished(const korvanta::TableOutcome& outcome) override {
        outcomes.push_back(outcome);
    }

    std::string All() const {
        std::string all;
        for (const std::string& report : reports)
            all += report + "\n---\n";
        return all;
    }

    std::vector<std::string> reports;
    std::vector<korvanta::TableOutcome> outcomes;

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

}  // namespace
