#pragma once

#include "engine/send/SendSession.h"
#include "engine/send/SentTable.h"

namespace korvanta {

// The routes a table may take (ChooseRoute picks one). Each tells the listener what it
// does and records what became of the table in its outcome; none throws.

// Made and filled: a table the target lacks, one the user said to drop first, or one a
// stopped send cut off with no key to go on from (`table.overwrite` set for the last two).
void SendFresh(SendSession& session, SentTable& table);

// Rows into a table the target holds already, as `table.existing` says: emptied first,
// added to, or merged by key.
void SendIntoExisting(SendSession& session, SentTable& table);

// A table a stopped send finished: left as it is, its foreign keys queued again.
void LeaveDoneBefore(SendSession& session, SentTable& table);

// A table a stopped send made and cut off: the rows after the target's last key go on,
// then the steps not yet made are made. The schema and key are read.
void ResumeAfterKey(SendSession& session, SentTable& table);

// A stopped send was appending to the user's table: the rows it added cannot be told from
// the table's own, so it is refused.
void RefuseCutAppend(SendSession& session, SentTable& table);

}  // namespace korvanta
