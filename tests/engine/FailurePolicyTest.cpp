// The failure policy against a fake writer: whatever the writer answers, every row lands
// exactly once or is refused and reported exactly once, and nothing is resent blindly.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "engine/rows/FailurePolicy.h"

using korvanta::Decision;
using korvanta::RunTarget;
using korvanta::TransientBudget;
using korvanta::WriteOutcome;
using korvanta::WriteRows;
using Kind = WriteOutcome::Kind;

namespace {

// Refuses the rows in `refused` the way CopyWriter does: the rows before the first refused
// one are committed and that one is named (or, without hints, nothing is committed and
// nothing named). `script` answers the first calls differently: transient, commit unknown,
// unusable.
class FakeTarget final : public RunTarget {
  public:
    std::set<std::size_t> refused;
    bool hints = true;
    std::vector<WriteOutcome> script;  // answered first, in order, before the real writes

    std::map<std::size_t, int> landed;    // row -> times it landed
    std::map<std::size_t, int> reported;  // row -> times it was reported refused
    int pauses = 0;
    bool dropped = false;
    std::optional<std::size_t> stoppedAt;

    std::optional<WriteOutcome> WriteRun(std::size_t first, std::size_t last) override {
        if (dropped)
            return std::nullopt;
        if (!script.empty()) {
            WriteOutcome next = script.front();
            script.erase(script.begin());
            for (std::size_t row = first; row < first + next.written; ++row)
                ++landed[row];
            return next;
        }
        const auto bad = refused.lower_bound(first);
        if (bad == refused.end() || *bad >= last) {
            for (std::size_t row = first; row < last; ++row)
                ++landed[row];
            return WriteOutcome{Kind::kWritten, last - first, std::nullopt, std::nullopt};
        }
        if (!hints)
            return WriteOutcome{Kind::kRejected, 0, std::nullopt, std::nullopt};
        for (std::size_t row = first; row < *bad; ++row)
            ++landed[row];
        return WriteOutcome{Kind::kRejected, *bad - first, *bad, std::nullopt};
    }
    bool WriteAlone(std::size_t row) override {
        if (refused.count(row) != 0)
            ++reported[row];
        else
            ++landed[row];
        return true;
    }
    void DropWriter() override { dropped = true; }
    void Pause(std::chrono::milliseconds) override { ++pauses; }
    void Stopped(std::size_t row, std::size_t, const WriteOutcome&) override { stoppedAt = row; }

    // Every row either landed once or (when refused) was reported once.
    void ExpectEachRowOnce(std::size_t rows) const {
        for (std::size_t row = 0; row < rows; ++row) {
            const bool bad = refused.count(row) != 0;
            EXPECT_EQ(landed.count(row) ? landed.at(row) : 0, bad ? 0 : 1) << "row " << row;
            EXPECT_EQ(reported.count(row) ? reported.at(row) : 0, bad ? 1 : 0) << "row " << row;
        }
    }
};

constexpr std::size_t kRows = 20000;

}  // namespace

TEST(FailurePolicy, RefusedRowsStandAloneAndEveryOtherRowLandsOnce) {
    const std::vector<std::set<std::size_t>> cases = {
        {},
        {0},
        {1},
        {4095, 4096, 4097},
        {16383, 16384, 16385},
        {0, kRows - 1},
        {10, 11, 12, 13, 14, 15, 16, 17},  // a whole stretch
    };
    for (const bool hints : {true, false}) {
        for (const auto& refused : cases) {
            FakeTarget target;
            target.refused = refused;
            target.hints = hints;
            TransientBudget budget;
            EXPECT_TRUE(WriteRows(target, 0, kRows, budget));
            target.ExpectEachRowOnce(kRows);
            EXPECT_FALSE(target.stoppedAt);
        }
    }
    // Every row of a piece refused: each reported alone, none lost.
    FakeTarget all;
    for (std::size_t row = 0; row < 4096; ++row)
        all.refused.insert(row);
    TransientBudget budget;
    EXPECT_TRUE(WriteRows(all, 0, 4096, budget));
    all.ExpectEachRowOnce(4096);
}

TEST(FailurePolicy, TransientConditionsAreWaitedOutThenStopTheTable) {
    const adodb::Error locked("database is locked", "HY000", 5);
    // Two lock timeouts, the second after 100 rows went in: retried, every row once.
    FakeTarget target;
    target.script = {{Kind::kTransient, 0, std::nullopt, locked},
                     {Kind::kTransient, 100, std::nullopt, locked}};
    TransientBudget budget;
    EXPECT_TRUE(WriteRows(target, 0, kRows, budget));
    target.ExpectEachRowOnce(kRows);
    EXPECT_EQ(target.pauses, 2);
    EXPECT_FALSE(target.stoppedAt);

    // A lock that never goes: the table stops once the wait is used up, at the first row
    // not in, and nothing is reported as refused.
    FakeTarget stuck;
    stuck.script.assign(100, {Kind::kTransient, 0, std::nullopt, locked});
    TransientBudget small;
    small.limit = std::chrono::milliseconds(500);
    EXPECT_FALSE(WriteRows(stuck, 0, kRows, small));
    EXPECT_EQ(stuck.stoppedAt, 0u);
    EXPECT_TRUE(stuck.reported.empty());
    EXPECT_LE(small.waited, small.limit);
    EXPECT_GT(stuck.pauses, 1);
}

TEST(FailurePolicy, NothingIsResentWhenACommitOutcomeIsUnknown) {
    FakeTarget target;
    // 4,096 rows committed, then a run whose COMMIT answer was lost.
    target.script = {{Kind::kCommitUnknown, 4096, std::nullopt, adodb::Error("gone", "08006")}};
    TransientBudget budget;
    EXPECT_FALSE(WriteRows(target, 0, kRows, budget));
    EXPECT_EQ(target.stoppedAt, 4096u);
    EXPECT_EQ(target.landed.size(), 4096u);
    for (const auto& [row, times] : target.landed)
        EXPECT_EQ(times, 1) << "row " << row;
    // Its report ends the run like any lost connection, whatever the writer said (a
    // closed socket, an ODBC driver's own state, nothing), and quotes the driver.
    const std::optional<adodb::Error> said[] = {adodb::Error("gone", "08006"),
                                                adodb::Error("gone", "HY000"), std::nullopt};
    for (const std::optional<adodb::Error>& error : said) {
        const adodb::Error report =
            korvanta::CommitUnknownError({Kind::kCommitUnknown, 0, std::nullopt, error});
        EXPECT_TRUE(report.connectionLost()) << report.state();
        EXPECT_EQ(std::string(report.what()).find("gone") != std::string::npos, error.has_value());
    }
}

TEST(FailurePolicy, AWriterThatCannotGoOnHandsOverOrStops) {
    // No connection error: COPY was refused, the rows go one by one through the driver.
    FakeTarget handed;
    handed.script = {{Kind::kUnusable, 10, std::nullopt, std::nullopt}};
    handed.refused = {500};
    TransientBudget budget;
    EXPECT_TRUE(WriteRows(handed, 0, 1000, budget));
    EXPECT_TRUE(handed.dropped);
    handed.ExpectEachRowOnce(1000);

    // The connection is gone for good: the table stops where the rows stopped.
    FakeTarget lost;
    lost.script = {{Kind::kUnusable, 10, std::nullopt, adodb::Error("no connection", "08006")}};
    EXPECT_FALSE(WriteRows(lost, 0, 1000, budget));
    EXPECT_EQ(lost.stoppedAt, 10u);
    EXPECT_FALSE(lost.dropped);
}
