#pragma once

#include <string_view>

#include "adodb/Connection.h"
#include "engine/connections/ConnectionValues.h"
#include "sql/model/Side.h"

namespace korvanta {

// Delete and rename for every front end: a connection to one side over which DROP TABLE
// and ALTER TABLE ... RENAME go out exactly as the table window has always sent them.
// Failures raise adodb::Error with the database's message.
class TableChanges {
  public:
    explicit TableChanges(Side side);

    void Open(const ConnectionValues& values);
    void Drop(std::string_view table);
    // Refuses, before anything is sent, a new name the side would not keep as given.
    void Rename(std::string_view from, std::string_view to);
    void Close();

  private:
    Side side_;
    adodb::Connection connection_;
};

}  // namespace korvanta
