#pragma once

#include <memory>
#include <string>

#include "adodb/ColumnReader.h"
#include "adodb/ConnectionState.h"
#include "adodb/Handles.h"
#include "adodb/RowSink.h"

namespace adodb::detail {

// Where a record set's rows come from, each row in the form of RowFormat.h.
class RowSource {
  public:
    virtual ~RowSource() = default;
    // The next row, valid until the next call; nullptr after the last.
    virtual const char* Next() = 0;
    // The next row's values given to `sink` where the rows come straight from the driver's
    // buffers (kGiven); else the next row as Next() gives it, in `row` (kCurrent, or kEnd
    // after the last).
    virtual SinkRead NextInto(RowSink& sink, const char*& row) {
        static_cast<void>(sink);
        row = Next();
        return row != nullptr ? SinkRead::kCurrent : SinkRead::kEnd;
    }
    // The number of rows, or -1 when not known.
    virtual long long Count() const noexcept = 0;
    // Hands over the memory of the current row, which the row's values then live in for as
    // long as the result lives; nullptr when the rows are kept together and cannot give one
    // away.
    virtual std::shared_ptr<const std::string> TakeRow() { return nullptr; }
};

// Client-side cursor: fetches every row of the statement's result now, leaving the
// statement's cursor open (the caller closes it).
std::unique_ptr<RowSource> FetchAllRows(const StatementHandle& statement, ColumnReader& reader);

// Server-side cursor: fetches one row per Next() from a statement it owns, keeping the
// connection alive meanwhile.
std::unique_ptr<RowSource> StreamRows(std::shared_ptr<adodb::ConnectionState> connection,
                                      StatementHandle statement, ColumnReader reader);

}  // namespace adodb::detail
