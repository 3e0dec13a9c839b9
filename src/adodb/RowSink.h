#pragma once

#include <string_view>

namespace adodb {

// Where rows read in bulk go straight from the driver's buffers: each value in column order,
// then the row's end, with no copy of the row in between.
class RowSink {
  public:
    virtual ~RowSink() = default;
    virtual void AddNull() = 0;
    virtual void AddText(std::string_view text) = 0;
    virtual void EndRow() = 0;
};

// What a read into a sink did.
enum class SinkRead {
    kEnd,      // there are no more rows
    kGiven,    // the sink has the next row
    kCurrent,  // the next row is the current one, to be read through Fields() (a value
               // longer than the bulk read takes, or one that did not fit in memory)
};

}  // namespace adodb
