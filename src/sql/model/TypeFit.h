#pragma once

#include <string>

#include "sql/model/ColumnType.h"

namespace korvanta {

// Why a column of type `column` cannot take every value a column of type `source` may
// hold, each as it is: "holds 10 characters, the source up to any length". Empty when it
// can. Decided on the types alone, before any row is read: a table that stands on the
// target gets no row unless every one of its columns can take whatever the source holds.
std::string WhyNotHeld(const ColumnType& column, const ColumnType& source);

// The type as a reader knows it: "varchar(10)", "numeric(12,2)", "bigint".
std::string TypeText(const ColumnType& type);

}  // namespace korvanta
