#pragma once

#include <memory>
#include <string>
#include <vector>

#include "adodb/Connection.h"
#include "engine/rows/CopyConnection.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/ValueCheck.h"

namespace korvanta {

// One side of a verification: the table and how its rows are read.
struct VerifyRead {
    adodb::Connection& connection;
    std::shared_ptr<const Dialect> dialect;
    std::string table;
    std::string where;                       // the rows sent: those that meet it (empty: all)
    std::vector<std::string> orderBy;        // the order they were sent in (empty: the table's)
    PostgresCopyConnection* wire = nullptr;  // a PostgreSQL table read over COPY
};

// Reads the source again by a statement of its own, not the send's (every value in the
// source's neutral form: SQLite's bytes of each text, the exact digits of each double), and
// the target back, and compares the two, each column's values as the target's type compares
// them (`rules`: numbers by value, times by instant or wall-clock, text and bytes by bytes,
// doubles by the double they are). The rows the send refused (their places among the source's
// rows, in order) are left out. Empty when the two match, else what differs: the columns,
// and the first row of each side that has no match on the other, with its values. Raises the
// driver's error when a side cannot be read.
std::string VerifyTable(const VerifyRead& source, const VerifyRead& target,
                        const std::vector<ValueRule>& rules, const std::vector<long long>& refused);

}  // namespace korvanta
