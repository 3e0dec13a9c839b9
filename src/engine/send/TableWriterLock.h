#pragma once

#include <string_view>

#include "adodb/Connection.h"

namespace korvanta {

// Keeps every other send, in this process or any other, from writing a PostgreSQL table
// of the same name while this one drops, creates and fills it: a session-level advisory
// lock keyed by the name (letter case ignored, as the lists compare names), taken on the
// connection that runs the table's statements and held until the object goes. A second
// send waits for the first, within the connection's command timeout. The lock goes with
// the session if the connection is lost.
class TableWriterLock {
  public:
    // Waits for the lock; raises the driver's error when it cannot be had.
    TableWriterLock(adodb::Connection& connection, std::string_view table);
    ~TableWriterLock();  // releases it, swallowing errors
    // The run lost its connection to the server: nothing is asked of it any more (a server
    // that stopped answering would never answer the release), and the lock goes with the
    // session when the run closes it.
    void Abandon() noexcept { abandoned_ = true; }
    TableWriterLock(const TableWriterLock&) = delete;
    TableWriterLock& operator=(const TableWriterLock&) = delete;

    // The lock's key: a 64-bit hash of the lower-case name in a space of its own.
    static long long Key(std::string_view table);

  private:
    adodb::Connection& connection_;
    long long key_;
    bool abandoned_ = false;
};

}  // namespace korvanta
