#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/send/TableFate.h"

namespace korvanta {
namespace {

struct Case {
    const char* what;
    std::function<void(TableOutcome&)> made;
    TableStatus status;
    bool finished;  // a later resume leaves it as it is
};

// A table's status and whether a resume leaves it: never more than the target holds.
TEST(TableFate, StatusAndResumeSayNoMoreThanTheTargetHolds) {
    const std::vector<Case> cases = {
        {"every row landed", [](TableOutcome&) {}, TableStatus::kOk, true},
        {"rows refused", [](TableOutcome& o) { o.refused = 2; }, TableStatus::kRefused, true},
        {"cut short", [](TableOutcome& o) { o.complete = false; }, TableStatus::kFailed, false},
        {"stopped as asked",
         [](TableOutcome& o) {
             o.complete = false;
             o.stopRequested = true;
         },
         TableStatus::kStopped, false},
        {"an index not made", [](TableOutcome& o) { o.stepsMissing = true; },
         TableStatus::kIncomplete, false},
        {"verified", [](TableOutcome& o) { o.verified = true; }, TableStatus::kOk, true},
        {"verify found a difference", [](TableOutcome& o) { o.verified = false; },
         TableStatus::kVerifyFailed, false},
        {"verify failed on a cut table",
         [](TableOutcome& o) {
             o.verified = false;
             o.complete = false;
         },
         TableStatus::kVerifyFailed, false},
        {"kept by the user",
         [](TableOutcome& o) {
             o.skipped = true;
             o.complete = false;
         },
         TableStatus::kSkipped, false},
        {"done before", [](TableOutcome& o) { o.doneBefore = true; }, TableStatus::kDoneBefore,
         true},
    };
    for (const Case& c : cases) {
        TableOutcome outcome;
        outcome.complete = true;
        c.made(outcome);
        EXPECT_EQ(StatusOf(outcome, false), c.status) << c.what;
        EXPECT_EQ(FinishedForResume(outcome), c.finished) << c.what;
        // A dry run plans what it would do: only a table it could plan whole is planned.
        if (!outcome.skipped && !outcome.doneBefore) {
            EXPECT_EQ(StatusOf(outcome, true),
                      outcome.complete ? TableStatus::kPlanned : TableStatus::kFailed)
                << c.what;
        }
    }
}

// A foreign key told after the table finished: made, carried; left out, named; planned and
// not made, the table incomplete.
TEST(TableFate, AForeignKeyNotMadeMakesTheTableIncomplete) {
    using Fate = TransferListener::KeyFate;
    for (const Fate fate : {Fate::kMade, Fate::kLeftOut, Fate::kNotMade}) {
        TableOutcome outcome;
        outcome.complete = true;
        FoldForeignKey(outcome, "FOREIGN KEY (a)", fate);
        EXPECT_EQ(outcome.carried.size(), fate == Fate::kMade ? 1u : 0u);
        EXPECT_EQ(outcome.notCarried.size(), fate == Fate::kMade ? 0u : 1u);
        EXPECT_EQ(StatusOf(outcome, false),
                  fate == Fate::kNotMade ? TableStatus::kIncomplete : TableStatus::kOk);
    }
}

}  // namespace
}  // namespace korvanta
