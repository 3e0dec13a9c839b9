#pragma once

#include <string>
#include <vector>

#include "sql/model/Schema.h"
#include "sql/model/ValueCheck.h"

namespace korvanta {

// How the rows of a source table go into a table that stands on the target already.
struct ExistingFit {
    std::vector<std::string> columns;  // the target's name of each column read, in its order
    std::vector<ValueRule> rules;      // what each target column keeps of a value
    std::vector<bool> binary;          // whose values (hex digits) go in as bytes
    // Why no row may go in: a column on one side only, a type that cannot take the source's
    // values. Empty when every row may.
    std::vector<std::string> problems;
};

// `read`: the columns in the order the rows carry them. A name matches its own spelling
// first, else the one target column equal to it without regard to case.
ExistingFit FitExisting(const std::vector<std::string>& read, const TableSchema& source,
                        const TableSchema& target);

// The columns a merge matches rows by, as the target names them: `asked`, or else the
// source's primary key. Empty, with `problem` set, when there is none, or when the target
// holds no primary key or unique index on exactly those columns (a key that is not unique
// there would update several rows with one).
std::vector<std::string> MergeKey(const std::vector<std::string>& asked, const TableSchema& source,
                                  const TableSchema& target, const ExistingFit& fit,
                                  const std::vector<std::string>& read, std::string& problem);

// A column of the order a table's rows are read in, so that a copy cut off can go on after
// the last row that landed.
struct OrderColumn {
    std::string name;
    bool text = false;  // ordered by its bytes (else an integer)
};

// The table's primary key, or else a unique index, on columns that take no NULL, when
// every column of it is an integer, or (where `textInByteOrder`: both databases order text by its
// bytes) a text of varying length, so that both databases put its rows in one order. Empty when
// there is none.
std::vector<OrderColumn> OrderKey(const TableSchema& table, bool textInByteOrder);

// The rows after the last one that landed, in the key's order: `ordered` are the key's
// terms as the source orders them, `last` the last row's values as the source's literals:
// a > 1 OR a = 1 AND b > 7.
std::string AfterKey(const std::vector<std::string>& ordered, const std::vector<std::string>& last);

}  // namespace korvanta
