#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/ConnectionValues.h"
#include "engine/TransferListener.h"
#include "sql/Side.h"

namespace korvanta {

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
    std::function<bool(std::string& table)> nextTable;
};

// Sends the tables: opens its own pair of connections, and for each table asks about an
// existing one, reads the source, creates the target table and copies the rows (in runs,
// or one INSERT per row when the settings ask for it), telling the listener as it goes.
// Blocks until done; never throws: every failure goes to the listener.
void SendTables(const SendRequest& request, TransferListener& listener);

}  // namespace korvanta
