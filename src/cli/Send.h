#pragma once

#include <string>
#include <vector>

#include "engine/connections/ConnectionValues.h"
#include "sql/model/Side.h"

namespace korvanta::cli {

enum class IfExists { kAsk, kReplace, kSkip, kStop };

struct SendOptions {
    Side target = Side::PostgreSQL;
    std::vector<std::string> operands;  // names and shell patterns, in the order given
    bool all = false;
    IfExists ifExists = IfExists::kAsk;
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
