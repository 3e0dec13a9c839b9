#include "engine/send/routes/ChooseRoute.h"

namespace korvanta {

namespace {

// A stopped send's table: what it made goes on, what it finished stays; a table it did not
// make goes as any other, except an append it had begun.
std::optional<Route> ResumedRoute(const TableFacts& facts) {
    if (facts.finishedBefore)
        return Route::kDoneBefore;
    if (facts.createdBefore) {
        if (!facts.hasOrderKey)
            return Route::kReadKey;
        return *facts.hasOrderKey ? Route::kResumeAfterKey : Route::kResumeFromStart;
    }
    // A truncate or a merge comes to the same rows however often it runs; an append cannot
    // tell the rows it added from the table's own.
    if (facts.writingBefore && facts.mode == IntoExisting::Mode::kAppend)
        return Route::kRefuseCutAppend;
    return std::nullopt;
}

}  // namespace

Route ChooseRoute(const TableFacts& facts) {
    if (!facts.onTarget)
        return Route::kFresh;
    if (facts.resuming) {
        if (const std::optional<Route> resumed = ResumedRoute(facts))
            return *resumed;
    }
    switch (facts.mode) {
        case IntoExisting::Mode::kTruncate:
            return Route::kTruncate;
        case IntoExisting::Mode::kAppend:
            return Route::kAppend;
        case IntoExisting::Mode::kMerge:
            return Route::kMerge;
        case IntoExisting::Mode::kAsk:
            break;
    }
    if (!facts.overwrite)
        return Route::kAskUser;
    return *facts.overwrite ? Route::kReplace : Route::kSkip;
}

const char* RouteName(Route route) {
    switch (route) {
        case Route::kFresh:
            return "fresh";
        case Route::kReplace:
            return "replace";
        case Route::kSkip:
            return "skip";
        case Route::kTruncate:
            return "truncate";
        case Route::kAppend:
            return "append";
        case Route::kMerge:
            return "merge";
        case Route::kDoneBefore:
            return "done before";
        case Route::kResumeAfterKey:
            return "resume after the key";
        case Route::kResumeFromStart:
            return "resume from the start";
        case Route::kRefuseCutAppend:
            return "refuse a cut append";
        case Route::kAskUser:
            return "ask the user";
        case Route::kReadKey:
            return "read the key";
    }
    return "?";
}

}  // namespace korvanta
