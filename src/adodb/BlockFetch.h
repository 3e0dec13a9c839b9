#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "adodb/ColumnReader.h"
#include "adodb/Handles.h"
#include "adodb/RowFormat.h"
#include "adodb/RowSink.h"

namespace adodb::detail {

// Reads the rows of a result with every column bound once (SQLBindCol), many rows per
// SQLFetch where the driver allows SQLGetData inside a block of rows (SQL_GD_BLOCK), one
// row per SQLFetch otherwise, instead of one SQLGetData call per value. Columns are bound
// with a width that fits ordinary values; a value that comes back truncated is read again
// whole through SQLGetData, so values of any size arrive complete. The statement's
// bindings and row attributes are restored when the fetcher goes.
class BlockFetcher {
  public:
    // A fetcher for the result on `statement`, or nullptr when the driver cannot read it
    // in blocks (the caller then reads value by value). Both arguments must outlive it.
    static std::unique_ptr<BlockFetcher> Start(const StatementHandle& statement,
                                               ColumnReader& reader);
    ~BlockFetcher();
    BlockFetcher(const BlockFetcher&) = delete;
    BlockFetcher& operator=(const BlockFetcher&) = delete;

    // Encodes the next row into `row`; false after the last.
    bool Next(RowEncoder& row);
    // Gives the next row's values to `sink` (kGiven), or, when one of them is longer than
    // its bound width, encodes the row into `row` as Next() does (kCurrent).
    SinkRead NextInto(RowSink& sink, RowEncoder& row);

  private:
    struct Bound {
        SQLSMALLINT cType;
        std::size_t width;  // bytes per row
        std::unique_ptr<char[]> data;
        std::unique_ptr<SQLLEN[]> indicator;
    };

    BlockFetcher(const StatementHandle& statement, ColumnReader& reader, std::vector<Bound> bound,
                 SQLULEN rowsPerBlock);
    void Bind();
    bool FetchBlock();
    // Moves to the next row of the block, fetching the next block when needed; false after
    // the last. Raises the row's error.
    bool Advance();
    // Whether a value of row r is longer than its column's bound width.
    bool AnyLong(SQLULEN r) const;
    // Value i of row r as text, or nullopt for Null; the text may lie in text_. Only for a
    // value that is not longer than bound.
    std::optional<std::string_view> BoundText(SQLULEN r, std::size_t i);
    void EncodeRow(SQLULEN r, RowEncoder& row);

    const StatementHandle& statement_;
    ColumnReader& reader_;
    std::vector<Bound> bound_;
    SQLULEN rowsPerBlock_;
    SQLULEN fetched_ = 0;
    SQLULEN next_ = 0;
    bool finished_ = false;
    std::vector<SQLUSMALLINT> status_;
    std::string text_;
};

}  // namespace adodb::detail
