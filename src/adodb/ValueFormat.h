#pragma once

#include <sqltypes.h>

#include <string>

// The text forms of the values that are fetched in binary: locale-independent, "." as
// the decimal separator, ISO dates and times.
namespace adodb::detail {

// Shortest text that reads back as the same number; NaN, Infinity and -Infinity as
// PostgreSQL spells them.
void AppendDouble(std::string& out, double value);
void AppendFloat(std::string& out, float value);

void AppendDate(std::string& out, const SQL_DATE_STRUCT& date);             // YYYY-MM-DD
void AppendTime(std::string& out, const SQL_TIME_STRUCT& time);             // HH:MM:SS
void AppendTimestamp(std::string& out, const SQL_TIMESTAMP_STRUCT& stamp);  // ...[.fraction]

}  // namespace adodb::detail
