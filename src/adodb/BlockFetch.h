#pragma once

#include <memory>
#include <vector>

#include "adodb/ColumnReader.h"
#include "adodb/Handles.h"
#include "adodb/RowFormat.h"

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
