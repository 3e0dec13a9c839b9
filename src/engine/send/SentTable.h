#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/rows/TableRows.h"
#include "engine/rows/TransferListener.h"
#include "engine/send/TransferRun.h"
#include "sql/model/Schema.h"
#include "sql/statements/ExistingTable.h"

namespace korvanta {

// One table of a send, from its list entry to its outcome.
struct SentTable {
    SentTable(const std::string& entry, std::string stored)
        : entry(entry), name(std::move(stored)) {
        outcome.source = entry;
        outcome.target = name;
    }
    // From here on the table is written under the target's own spelling of its name.
    void WrittenAs(const std::string& spelled) {
        name = spelled;
        outcome.target = spelled;
    }

    std::string entry;  // the source list's entry: the table read
    std::string name;   // the working name: the table written, as the target stores it
    TableOutcome outcome;
    TableRows rows;                     // the source table's rows
    bool overwrite = false;             // the target's table of that name is dropped first
    bool created = false;               // this send's CREATE TABLE made it
    std::optional<TableSchema> schema;  // an exact copy: the source's, from its catalog
    // The table's own settings: the request's, or its entry's in the request's table settings.
    IntoExisting existing;
    bool exact = false;  // an exact copy
    // An exact copy: the integer key its rows are read in the order of.
    std::vector<OrderColumn> orderKey;
    std::string where;  // the source's rows read: those that meet it (empty: all)
};

}  // namespace korvanta
