#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/connections/ConnectionValues.h"
#include "sql/model/Side.h"

namespace korvanta::cli {

enum class IfExists { kAsk, kReplace, kSkip, kStop, kTruncate, kAppend, kMerge };

// What one table of a send may have of its own (a plan file's entry); each unset one is
// the send's.
struct TableOptions {
    std::string target;  // the name it is written under
    std::optional<IfExists> ifExists;
    std::optional<std::vector<std::string>> key;
    std::optional<std::string> since;
    std::optional<bool> deleteMissing;
    std::optional<bool> exactSchema;
    std::optional<std::string> where;
};

struct SendOptions {
    Side target = Side::PostgreSQL;
    bool targetGiven = false;           // --to was given (else a plan file says)
    std::vector<std::string> operands;  // names and shell patterns, in the order given
    bool all = false;
    IfExists ifExists = IfExists::kAsk;
    std::vector<std::string> key;  // --key: the merge's columns
    std::string since;             // --since: the merge reads rows from the target's largest
    bool deleteMissing = false;    // --delete-missing
    std::string where;             // --where: the source's rows sent meet it
    std::string targetName;        // --target: the one table's name on the target
    std::string planFile;          // --plan
    bool resume = false;           // --resume: carry on the send that stopped
    std::string stateFile;         // --state: where the send's state is kept
    // The tables' own settings, by source table (from a plan file).
    std::map<std::string, TableOptions> tables;
    bool quiet = false;
    std::string summaryJson;
    std::string rejectFile;
    int jobs = 1;
    bool dryRun = false;  // print the statements that would change the target, run none
    ConnectionValues values;
    TransferSettings settings;
};

// The send verb: expands the tables, sends them as the table window's send button does,
// shows progress and the summary; returns the exit status.
int RunSend(SendOptions options);

}  // namespace korvanta::cli
