#pragma once

#include "adodb/ColumnReader.h"
#include "adodb/Handles.h"
#include "adodb/RowStore.h"

namespace adodb::detail {

// Reads all rows of a result on a wide (Unicode driver) connection into `store` in blocks
// of rows: each column bound once (SQLBindCol) and SQL_ATTR_ROW_ARRAY_SIZE rows per
// SQLFetch, instead of one SQLGetData per value. Only for results whose every column has
// a small bounded size (numbers, dates and times, short character columns); returns
// false, without touching the statement, for any other. A value that still comes back
// truncated is read again whole through SQLGetData. The statement's binding and row
// attributes are restored however the reading ends.
bool FetchAllRowsInBlocks(const StatementHandle& statement, ColumnReader& reader, RowStore& store);

}  // namespace adodb::detail
