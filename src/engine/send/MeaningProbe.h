#pragma once

#include "adodb/Connection.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/Schema.h"

namespace korvanta {

// The two databases of a send, each with its dialect.
struct ProbeSides {
    adodb::Connection& source;
    const Dialect& sourceDialect;
    adodb::Connection& target;
    const Dialect& targetDialect;
};

// The table as an exact copy may carry it: what its target would read differently is left
// out and named. Each default that is an expression is evaluated once on both sides, each
// as its column's type there holds it, and the two values compared as that type compares
// them; each CHECK and each partial index's condition is evaluated on both sides over
// probe values of its columns' types (the source's own text of each), and must hold on the
// target wherever it holds on the source. Raises nothing: a side that cannot evaluate an
// element leaves it as it is (the target's refusal names it when the table is made), or,
// where the target cannot, leaves it out.
TableSchema WithMeaningsKept(const TableSchema& table, const ProbeSides& sides);

}  // namespace korvanta
