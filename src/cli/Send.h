#pragma once

#include <string>
#include <vector>

#include "engine/connections/ConnectionValues.h"
#include "sql/model/Side.h"

namespace korvanta::cli {

enum class IfExists { kAsk, kReplace, kSkip, kStop, kTruncate, kAppend, kMerge };

struct SendOptions {
    Side target = Side::PostgreSQL;
    std::vector<std::string> operands;  // names and shell patterns, in the order given
    bool all = false;
    IfExists ifExists = IfExists::kAsk;
    std::vector<std::string> key;  // --key: the merge's columns
    std::string since;             // --since: the merge reads rows from the target's largest
    bool deleteMissing = false;    // --delete-missing
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
int RunSend(const SendOptions& options);

}  // namespace korvanta::cli
