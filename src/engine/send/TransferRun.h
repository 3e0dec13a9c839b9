#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/connections/ConnectionValues.h"
#include "engine/rows/TransferListener.h"
#include "engine/send/ForeignKeys.h"
#include "engine/send/SendJournal.h"
#include "engine/send/TargetClaims.h"
#include "sql/model/Side.h"

namespace korvanta {

class RowBatch;

// What a send does with a table the target holds already.
struct IntoExisting {
    enum class Mode {
        kAsk,       // the listener is asked whether to drop it and send the source's
        kTruncate,  // emptied, keeping its definition, and the rows sent into it
        kAppend,    // the rows added to those there
        kMerge,     // a row whose key is there updates it, the others are inserted
    };
    Mode mode = Mode::kAsk;
    // Merge: the columns the rows are matched by; empty: the source's primary key.
    std::vector<std::string> key;
    // Merge: only the source's rows whose value of this column is at or after the largest
    // on the target are read; empty: every row.
    std::string since;
    // Merge: the target's rows whose key the source no longer holds are deleted.
    bool deleteMissing = false;
};

// What a send does with one table beyond the request's own settings: a plan file's entry.
struct TableSettings {
    std::string target;  // the name of the table written; empty: the source table's
    std::optional<IntoExisting> existing;
    std::optional<bool> exactSchema;
    std::string where;  // a condition in the source's SQL that the rows sent meet; empty: all
};

// A send that carries on one that stopped: what the stopped one left, as its state says. A
// hint only: the target is asked whether each table stands there and how far it got.
struct ResumeState {
    std::set<std::string> created;   // source tables whose target table it made (or set out to)
    std::set<std::string> finished;  // source tables it finished: rows and every step
    // source tables whose rows it set out to write into a table the target held already
    std::set<std::string> writing;
};

// One send: the tables to read from the source side, in the order they go, and the
// tables the target is known to hold (a name among them is offered for overwriting).
struct SendRequest {
    Side target = Side::PostgreSQL;
    std::vector<std::string> tables;
    std::vector<std::string> targetTables;
    ConnectionValues values;
    TransferSettings settings;
    // When set, the tables come from here instead, one at a time, until it returns false:
    // several sends can then share out one list, each keeping its pair of connections.
    // `tables` then names the tables the run expects to reach, for what spans tables (a
    // foreign key written with its table refers to one sent later).
    std::function<bool(std::string& table)> nextTable;
    // Fresh tables only (the command line): rows go only into a table this send created.
    // When the overwrite's DROP TABLE or the CREATE TABLE is refused the table gets no
    // rows and is not complete, and a table whose name the target folds onto one that a
    // send of this run already wrote fails instead of being offered for overwriting.
    // Otherwise (the table window) the rows go into whatever table stands there, as far
    // as the database takes them.
    bool freshTablesOnly = false;
    // The target tables the sends of this run have claimed (shared by several jobs); a send
    // without one keeps its own.
    std::shared_ptr<TargetClaims> claims;
    // Each table starts with an empty statement buffer, so that no report quotes another
    // table's statement (several jobs share out the tables). Otherwise the buffer runs
    // through the send, as the window's does.
    bool statementPerTable = false;
    // Tell the statements that would change the target (SchemaStatement) and run none of
    // them; no rows are sent.
    bool dryRun = false;
    // The foreign keys of an exact copy wait here until every table is in; the caller
    // then adds them (AddForeignKeys). Without one, the send adds its own at its end.
    std::shared_ptr<ForeignKeyQueue> foreignKeys;
    // A table the target holds already: asked about, or written into as this says. Rows go
    // into one only when every column matches the source's by name and can take its values.
    IntoExisting existing;
    // Settings of their own for some tables, by source table (its list entry).
    std::map<std::string, TableSettings> tableSettings;
    // Carries on a send that stopped: a table it finished is left as it is; one it made and
    // cut off goes on after the last row the target holds, in the order of its integer key
    // (made again from its start when it has none); the steps of an exact copy not made are
    // made. An exact copy's rows are always read in that order, so that a later send can go
    // on from where this one stops.
    std::optional<ResumeState> resume;
    // Told, as the send goes, what a later resume must know of each table; none: nothing kept.
    std::shared_ptr<SendJournal> journal;
    // Called with each batch of rows read, before it is written: a test makes a misread
    // happen here, which a verification must find.
    std::function<void(RowBatch& batch)> readHook;
};

// Sends the tables: opens its own pair of connections, and for each table asks about an
// existing one, reads the source, creates the target table and copies the rows (in runs,
// or one INSERT per row when the settings ask for it), telling the listener as it goes.
// Blocks until done; never throws: every failure goes to the listener.
void SendTables(const SendRequest& request, TransferListener& listener);

// Where the request's foreign keys go (AddForeignKeys), once every send of it has ended.
ForeignKeyTarget ForeignKeyTargetOf(const SendRequest& request);

}  // namespace korvanta
