#pragma once

#include <optional>
#include <string>
#include <vector>

#include "adodb/Error.h"

namespace korvanta {

// How a send's rows went into a table that stood on the target.
enum class Into {
    kNone,  // the send made the table
    kTruncate,
    kAppend,
    kMerge,
};

// What became of one table of a send.
struct TableOutcome {
    std::string source;          // the table read
    std::string target;          // the table written, as the target stores its name
    long long counted = -1;      // rows the source held when counted; -1 when unknown
    long long landed = 0;        // rows in the target, committed
    long long refused = 0;       // rows the target refused or that could not be read, each reported
    bool skipped = false;        // not sent: the user kept the existing table
    bool complete = false;       // read and written to its end
    bool stopRequested = false;  // ended early because the caller asked to stop
    // With verification: whether the target's table matched what was written, and how not.
    std::optional<bool> verified;
    std::string verifyDifference;
    // Verification was asked for and this table could not be verified: why (its rows went
    // into a table that stood there, or a stopped send wrote some of them).
    std::string notVerified;
    // An exact copy: what of the table's schema was carried, and what was not and why.
    std::vector<std::string> carried;
    std::vector<std::string> notCarried;
    // A step the table's plan made (NOT NULL, a key, an index, the numbering, a foreign key)
    // was not made: refused, broken by the rows, or never tried. The table is incomplete.
    bool stepsMissing = false;
    // Why the rows went one INSERT each when a faster writer was meant to carry them; empty
    // when it did (or when the settings asked for one INSERT a row).
    std::string oneByOne;
    double seconds = 0;  // the table's own time, without waiting for the question's answer
    Into into = Into::kNone;
    // A merge: the landed rows that were inserted, that updated a row, and that the table
    // held already with every value equal.
    long long inserted = 0;
    long long updated = 0;
    long long unchanged = 0;
    // A merge that deletes what the source no longer holds: the source's keys compared,
    // and the target's rows deleted for want of one; -1 when none were deleted.
    long long keysCompared = 0;
    long long deleted = -1;
    // A send carried on (--resume): the table was finished before and left as it is; or the
    // copy cut off before went on after the rows the target held (`resumedAfter` of them),
    // or, with no key to go on from, was made again from its start (`restarted`).
    bool doneBefore = false;
    long long resumedAfter = -1;
    bool restarted = false;
};

// A row the target refused, or that could not be read whole: everything a caller needs to
// keep it and send it again once mended.
struct RefusedRow {
    std::string table;                               // the source table
    long long sourceRow = 0;                         // its place in the source, from 1
    std::vector<std::string> columns;                // the source's column names
    std::vector<std::optional<std::string>> values;  // as read; nullopt is Null; fewer than
                                                     // the columns when the read failed
    std::string message;                             // what the database (or the reader) said
};

// How a send talks to whoever drives it: the table window, or any other front end. The
// run calls it on its own threads and waits for each call to return, so questions and
// reports reach the user in the order of the tables and rows they concern.
class TransferListener {
  public:
    virtual ~TransferListener() = default;

    // The send takes up the next table (its source name), before anything else of it.
    virtual void TableStarted(const std::string& /*source*/) {}
    // The target holds a table of this name: drop it and send the source's? No skips it.
    virtual bool AskOverwrite(const std::string& table) = 0;
    // A step failed. line: the step's number (ReportLines.h); statement: the last
    // CREATE TABLE or INSERT the run built.
    virtual void Failed(int line, const adodb::Error& error, const std::string& statement) = 0;
    // Rows of the current table written or reported so far, of those counted (-1 while
    // unknown). Called often and from the run's threads: keep it cheap.
    virtual void Progress(long long /*done*/, long long /*total*/) {}
    // The target's table of this name was dropped; `entry` is the text its list loses.
    virtual void TableDropped(const std::string& /*entry*/) {}
    // A table now stands on the target; `entry` is the text its list gains.
    virtual void TableListed(const std::string& /*entry*/) {}
    // A row was refused; called on the run's threads, after Failed for the same row.
    virtual void RowRefused(const RefusedRow& /*row*/) {}
    // One table is done, whatever happened to it.
    virtual void TableFinished(const TableOutcome& /*outcome*/) {}
    // Asked between tables and between runs of rows, from the run's threads: true ends the
    // send there, the rows committed so far staying in, nothing of a run half in.
    virtual bool StopRequested() { return false; }
    // A statement that changes the target's tables (DROP, CREATE TABLE, a key, an index,
    // a foreign key, an identity's numbering) as it is run, or in a dry run instead.
    virtual void SchemaStatement(const std::string& /*statement*/) {}
    // A foreign key of an exact copy, added once every table of the run was in: what it
    // is (and why not, when it did not go in), and what became of it.
    enum class KeyFate {
        kMade,     // it is on the target
        kLeftOut,  // not planned there: the table it refers to is not on the target
        kNotMade,  // planned and not made: the table is incomplete
    };
    virtual void ForeignKeyFinished(const std::string& /*source*/, const std::string& /*what*/,
                                    KeyFate /*fate*/) {}
};

}  // namespace korvanta
