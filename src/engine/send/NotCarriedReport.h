#pragma once

#include <string>
#include <vector>

#include "engine/rows/TransferListener.h"

namespace korvanta {

// The line that names one thing of a table's schema an exact send did not carry, as the
// command line's summary prints it under the table and the window's notice lists it.
std::string NotCarriedLine(const std::string& item);

// What of each table's schema an exact send did not carry, gathered as the tables and
// their foreign keys finish; its text names each table once, the items under it.
class NotCarriedReport {
  public:
    void TableFinished(const TableOutcome& outcome);
    void ForeignKeyFinished(const std::string& source, const std::string& what,
                            TransferListener::KeyFate fate);
    bool Empty() const;
    std::string Text() const;

  private:
    struct Table {
        std::string name;
        std::vector<std::string> items;
    };
    Table& Of(const std::string& source);
    std::vector<Table> tables_;
};

}  // namespace korvanta
