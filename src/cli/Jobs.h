#pragma once

#include "cli/SendConsole.h"
#include "engine/send/TransferRun.h"

namespace korvanta::cli {

// Sends the console's tables, in its order, as `request` (everything but the tables) says.
// One job: one send over one pair of connections for all of them, as the window's send
// button does. More: that many sends at a time, each keeping its pair of connections from
// table to table and taking the next table of the shared list when it is free; a send
// whose connection broke ends, and the next one opens new connections.
void SendWithJobs(SendConsole& console, const SendRequest& request, int jobs);

}  // namespace korvanta::cli
