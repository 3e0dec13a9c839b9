#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/send/routes/ChooseRoute.h"

namespace korvanta {
namespace {

using Mode = IntoExisting::Mode;

struct Case {
    const char* what;
    TableFacts facts;
    Route route;
};

TableFacts On(Mode mode = Mode::kAsk) {
    return {.onTarget = true, .mode = mode};
}

TableFacts Resumed(Mode mode, bool finished, bool created, bool writing,
                   std::optional<bool> key = std::nullopt) {
    TableFacts facts = On(mode);
    facts.resuming = true;
    facts.finishedBefore = finished;
    facts.createdBefore = created;
    facts.writingBefore = writing;
    facts.hasOrderKey = key;
    return facts;
}

TableFacts Answered(TableFacts facts, bool yes) {
    facts.overwrite = yes;
    return facts;
}

TEST(ChooseRoute, EachTableTakesTheRouteItsFactsCallFor) {
    const std::vector<Case> cases = {
        {"not on the target", {}, Route::kFresh},
        {"not on the target, merge asked", {.mode = Mode::kMerge}, Route::kFresh},
        {"not on the target, resumed, made before",
         {.resuming = true, .createdBefore = true},
         Route::kFresh},
        {"on the target: the user is asked", On(), Route::kAskUser},
        {"the user said yes", Answered(On(), true), Route::kReplace},
        {"the user said no", Answered(On(), false), Route::kSkip},
        {"truncate", On(Mode::kTruncate), Route::kTruncate},
        {"append", On(Mode::kAppend), Route::kAppend},
        {"merge", On(Mode::kMerge), Route::kMerge},
        {"finished before, replace", Resumed(Mode::kAsk, true, true, false), Route::kDoneBefore},
        {"finished before, append", Resumed(Mode::kAppend, true, false, true), Route::kDoneBefore},
        {"made and cut, key unknown", Resumed(Mode::kAsk, false, true, false), Route::kReadKey},
        {"made and cut, a key", Resumed(Mode::kAsk, false, true, false, true),
         Route::kResumeAfterKey},
        {"made and cut, no key", Resumed(Mode::kAsk, false, true, false, false),
         Route::kResumeFromStart},
        {"made and cut under truncate", Resumed(Mode::kTruncate, false, true, false, true),
         Route::kResumeAfterKey},
        {"an append cut off", Resumed(Mode::kAppend, false, false, true), Route::kRefuseCutAppend},
        {"a truncate cut off runs again", Resumed(Mode::kTruncate, false, false, true),
         Route::kTruncate},
        {"a merge cut off runs again", Resumed(Mode::kMerge, false, false, true), Route::kMerge},
        {"the user's table, untouched before", Resumed(Mode::kAsk, false, false, false),
         Route::kAskUser},
        {"an append not begun before", Resumed(Mode::kAppend, false, false, false), Route::kAppend},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(RouteName(ChooseRoute(c.facts)), RouteName(c.route)) << c.what;
}

// Every combination of facts: the rules that keep rows from being doubled or lost hold for
// each, whatever the order of the choice's tests.
TEST(ChooseRoute, NoCombinationOfFactsDoublesOrDropsATable) {
    const std::vector<std::optional<bool>> unknownNoYes = {std::nullopt, false, true};
    int combinations = 0;
    for (int bits = 0; bits < 32; ++bits) {
        for (Mode mode : {Mode::kAsk, Mode::kTruncate, Mode::kAppend, Mode::kMerge}) {
            for (const std::optional<bool>& key : unknownNoYes) {
                for (const std::optional<bool>& answer : unknownNoYes) {
                    TableFacts f{.onTarget = (bits & 1) != 0,
                                 .mode = mode,
                                 .resuming = (bits & 2) != 0,
                                 .finishedBefore = (bits & 4) != 0,
                                 .createdBefore = (bits & 8) != 0,
                                 .writingBefore = (bits & 16) != 0,
                                 .hasOrderKey = key,
                                 .overwrite = answer};
                    const Route route = ChooseRoute(f);
                    ++combinations;
                    SCOPED_TRACE(std::string(RouteName(route)) + " for combination " +
                                 std::to_string(combinations));
                    // A table the target lacks is made; one it holds is never made anew
                    // without the user's yes or a restart of this send's own table.
                    EXPECT_EQ(route == Route::kFresh, !f.onTarget);
                    EXPECT_TRUE(route != Route::kReplace || f.overwrite.value_or(false));
                    EXPECT_TRUE(route != Route::kResumeFromStart ||
                                (f.resuming && f.createdBefore && !f.finishedBefore));
                    // A table a stopped send finished is never written again.
                    EXPECT_TRUE(!(f.onTarget && f.resuming && f.finishedBefore) ||
                                route == Route::kDoneBefore);
                    // An append a stopped send began is never appended to again.
                    EXPECT_TRUE(route != Route::kAppend ||
                                !(f.resuming && f.writingBefore && !f.createdBefore));
                    // A question is asked only when its answer is missing.
                    EXPECT_TRUE(route != Route::kAskUser || !f.overwrite.has_value());
                    EXPECT_TRUE(route != Route::kReadKey || !f.hasOrderKey.has_value());
                    // Nothing of a stopped send is taken up by a send that does not resume.
                    EXPECT_TRUE(f.resuming ||
                                (route != Route::kDoneBefore && route != Route::kReadKey &&
                                 route != Route::kResumeAfterKey &&
                                 route != Route::kRefuseCutAppend));
                }
            }
        }
    }
    EXPECT_EQ(combinations, 32 * 4 * 3 * 3);
}

}  // namespace
}  // namespace korvanta
