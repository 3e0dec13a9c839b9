#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "connect/ConnectionValues.h"
#include "transfer/BatchWriter.h"

struct pg_conn;

namespace korvanta {

// A libpq connection to the PostgreSQL database of the connection window, used only
// for COPY, the fastest way PostgreSQL takes rows.
class PostgresCopyConnection {
  public:
    // Connects with the same server, port, user, password and database as the driver;
    // nullptr when that fails (the caller then writes through the driver instead).
    static std::unique_ptr<PostgresCopyConnection> Open(const ConnectionValues& values);
    ~PostgresCopyConnection();
    PostgresCopyConnection(const PostgresCopyConnection&) = delete;
    PostgresCopyConnection& operator=(const PostgresCopyConnection&) = delete;

    pg_conn* get() const noexcept { return connection_; }
    bool Broken() const;

  private:
    explicit PostgresCopyConnection(pg_conn* connection) : connection_(connection) {}
    pg_conn* connection_;  // owned: PQfinish in the destructor
};

// Appends one value in COPY's text format: backslash, tab, newline and carriage return
// escaped, Null as \N. Text that is not valid UTF-8 is mended the way the driver's path
// mends it (each bad byte becomes U+FFFD), so that both paths store the same text.
void AppendCopyValue(std::string& out, std::optional<std::string_view> value);

// The line that COPY names in its error context ("COPY t, line 3, column a: ..."), or 0.
std::size_t CopyErrorLine(std::string_view context, std::string_view table);

// Writes runs of rows with COPY ... FROM STDIN, one transaction per run.
class CopyWriter final : public BatchWriter {
  public:
    // table: the name as the statements spell it (CREATE TABLE made it).
    CopyWriter(PostgresCopyConnection& connection, std::string_view table);

    WriteOutcome Write(const RowBatch& batch, std::size_t first, std::size_t last,
                       std::atomic<long long>& sent) override;

  private:
    // One COPY of the rows; a refused row is named as an index into the batch.
    WriteOutcome Copy(const RowBatch& batch, std::size_t first, std::size_t last,
                      std::atomic<long long>& sent);

    PostgresCopyConnection& connection_;
    std::string table_;
    std::string statement_;
    std::string buffer_;
};

}  // namespace korvanta
