#pragma once

#include <string>

#include "engine/rows/TransferListener.h"

namespace korvanta {

// How a table of a send ended: the one status every front end shows for it.
enum class TableStatus {
    kOk,            // every row landed
    kRefused,       // read to its end; some rows were refused
    kSkipped,       // the target's table was kept
    kStopped,       // stopped as asked (an interrupt, --if-exists stop)
    kFailed,        // cut short, or its target table could not be made
    kVerifyFailed,  // the target does not hold what was read from the source
    kNotStarted,    // the run stopped before it
    kPlanned,       // a dry run: its statements were told, none was run
    kIncomplete,    // every row is there, but a key, index, numbering or foreign key is not
    kDoneBefore,    // a resumed send: the stopped send finished it; left as it is
};

// The status of a table the send reached, from its outcome: never more than the target holds.
TableStatus StatusOf(const TableOutcome& outcome, bool dryRun);

// Finished for a later resume: every row read and accounted for, every step made and the
// table verified where it was asked; such a table is left as it is.
bool FinishedForResume(const TableOutcome& outcome);

// A foreign key added once every table was in: named with its table, which is incomplete
// when the key was planned and not made.
void FoldForeignKey(TableOutcome& outcome, const std::string& what, TransferListener::KeyFate fate);

}  // namespace korvanta
