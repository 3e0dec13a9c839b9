#pragma once

#include <optional>

#include "engine/send/TransferRun.h"

namespace korvanta {

// The way one table goes: every table of a send takes exactly one.
enum class Route {
    kFresh,            // the target has no such table: made and filled
    kReplace,          // the user said to drop the target's table and send the source's
    kSkip,             // the user kept the target's table
    kTruncate,         // the target's table emptied and filled, its definition kept
    kAppend,           // the rows added to the target's
    kMerge,            // the rows matched by key: updated or inserted
    kDoneBefore,       // a stopped send finished it: left as it is
    kResumeAfterKey,   // a stopped send cut it off: the rows after the target's last key go on
    kResumeFromStart,  // cut off with no key to go on from: dropped and made again
    kRefuseCutAppend,  // a stopped send appended to it: the rows it added cannot be told apart
    // Not routes but questions: the choice needs the answer before it can be made.
    kAskUser,  // whether the target's table may be dropped
    kReadKey,  // whether the source's table has a key to go on from
};

// What a send knows of a table when it chooses its route.
struct TableFacts {
    bool onTarget = false;  // the target holds a table of its name
    IntoExisting::Mode mode = IntoExisting::Mode::kAsk;
    bool resuming = false;  // the send carries on a stopped one
    // What the stopped send's journal says of the table.
    bool finishedBefore = false;
    bool createdBefore = false;
    bool writingBefore = false;
    std::optional<bool> hasOrderKey{};  // known once asked for (kReadKey)
    std::optional<bool> overwrite{};    // the user's answer, once asked (kAskUser)
};

// Pure: the route the facts call for, or the question to answer first.
Route ChooseRoute(const TableFacts& facts);

// The route's name, as tests and reports spell it.
const char* RouteName(Route route);

}  // namespace korvanta
