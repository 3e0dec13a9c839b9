#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Connection.h"
#include "engine/rows/TransferListener.h"
#include "sql/statements/TablePlan.h"

namespace korvanta {

struct SendRequest;

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
    std::vector<PendingForeignKey> Take();

  private:
    mutable std::mutex mutex_;
    std::vector<PendingForeignKey> keys_;
    std::vector<std::string> written_;
};

// Adds the queued foreign keys over the target connection given: each whose table stands
// on the target (written by the run, or listed there at its start) goes in; the others are
// left out. A key the rows break is reported with the number of rows that break it; the
// rows stay. In a dry run the statements are told and not run.
void AddForeignKeys(adodb::Connection& target, const SendRequest& request, ForeignKeyQueue& queue,
                    TransferListener& listener);
// The same over a connection of its own, once every send of the run has ended.
void AddForeignKeys(const SendRequest& request, ForeignKeyQueue& queue, TransferListener& listener);

}  // namespace korvanta
