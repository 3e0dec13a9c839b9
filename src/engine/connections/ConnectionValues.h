#pragma once

#include <QString>

namespace korvanta {

// The six connection values, as the boxes of the connection window hold them now.
struct ConnectionValues {
    QString server;          // Text1
    QString port;            // Text2
    QString user;            // Text3
    QString password;        // Text4
    QString database;        // Text5
    QString dataSourceName;  // Text6
    // Not a box: open only what exists, creating nothing (a dry run). A SQLite data source
    // whose file is missing would otherwise be created empty by its driver.
    bool openExistingOnly = false;
};

// How the send buttons write rows, from the settings store.
struct TransferSettings {
    // Every row as an INSERT of its own, committed on its own, instead of rows in runs.
    bool oneStatementPerRow = false;
    // The longest any one statement, COPY or connection attempt may wait for the server;
    // a wait that runs out ends the run with a report, never a hang.
    int commandTimeoutSeconds = 5000;
    // How long a step waits in all for a lock, a busy database or a deadlock to clear,
    // retrying, before the table stops with a report.
    int transientWaitSeconds = 60;
    // A table stops, with a report, once more of its rows than this were refused; -1 for
    // no limit.
    long long maxRefusedRows = -1;
    // After each table, read the target's table back and compare its row count and, per
    // column, an order-independent checksum of its values with the rows that were written.
    bool verify = false;
    // Create each target table as close to the source's own as the target allows: types
    // with their sizes, keys, defaults, identity, indexes and foreign keys, read from the
    // source's catalog. Otherwise every column gets one of a few types.
    bool exactSchema = false;
};

// Whatever holds the current connection values: the connection window, or a test.
class ConnectionSource {
  public:
    virtual ~ConnectionSource() = default;
    virtual ConnectionValues CurrentConnectionValues() const = 0;
    virtual TransferSettings CurrentTransferSettings() const { return {}; }
};

}  // namespace korvanta
