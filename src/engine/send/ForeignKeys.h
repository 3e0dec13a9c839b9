#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Connection.h"
#include "engine/connections/ConnectionValues.h"
#include "engine/rows/TransferListener.h"
#include "sql/model/Side.h"
#include "sql/statements/TablePlan.h"

namespace korvanta {

// A foreign key of a table an exact send wrote, waiting until every table of the run is
// in: a key goes in only once the table it refers to stands on the target.
struct PendingForeignKey {
    std::string source;  // the table read, for the reports
    std::string target;  // the table written
    SchemaStep step;
};

// The foreign keys of a run and the tables its sends wrote; shared by several jobs.
class ForeignKeyQueue {
  public:
    void Add(PendingForeignKey key);
    void Written(const std::string& table);
    bool WasWritten(std::string_view table) const;
    bool Empty() const;
    std::vector<PendingForeignKey> Take();

  private:
    mutable std::mutex mutex_;
    std::vector<PendingForeignKey> keys_;
    std::vector<std::string> written_;
};

// Where the foreign keys of a run go.
struct ForeignKeyTarget {
    Side side = Side::PostgreSQL;
    std::vector<std::string> tables;  // the target's tables at the start of the run
    bool dryRun = false;              // tell the statements, run none
    TransferSettings settings;
    ConnectionValues values;
};

// Adds the queued foreign keys over the target connection given: each whose table stands
// on the target (written by the run, or listed there at its start) goes in; the others are
// left out. A key the rows break is reported with the number of rows that break it; the
// rows stay. In a dry run the statements are told and not run.
void AddForeignKeys(adodb::Connection& connection, const ForeignKeyTarget& target,
                    ForeignKeyQueue& queue, TransferListener& listener);
// The same over a connection of its own, once every send of the run has ended.
void AddForeignKeys(const ForeignKeyTarget& target, ForeignKeyQueue& queue,
                    TransferListener& listener);

}  // namespace korvanta
