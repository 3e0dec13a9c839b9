#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How one value goes into an ODBC connection string so that the driver reads exactly
// that value. What unixODBC 2.3 and the two drivers do with it (tried with each
// character that connection strings treat specially, plain and between braces):
// - unixODBC takes DSN and DRIVER by its own reading (up to the next ";", or between
//   braces with "}}" for "}") and hands the driver the string unchanged.
// - psqlODBC reads Server, Port, Uid and Database, and sqliteodbc reads DSN, up to the
//   next ";" exactly as written: + % = } and blanks stay, and so do braces.
//   psqlODBC handles a value that starts with "{" by rules of its own, which depend on
//   the rest of the string.
// - psqlODBC reads Pwd between braces literally, and otherwise percent-decodes it ("+"
//   becomes a blank, "%41" becomes "A").
// So a value goes in as typed wherever that reads right, between braces only where the
// driver takes them off, and one that would be read as another value raises Error
// before any connection is attempted. `label` names the value in that message ("server
// name": "The server name cannot be passed to the ODBC driver: it contains ";".").
namespace adodb {

// A value that the driver reads as written and never takes out of braces: psqlODBC's
// Server, Port, Uid and Database. Refused when it holds ";" or a NUL, starts with "{",
// or is longer than the maxBytes bytes that the driver keeps of it.
std::string OdbcPlainValue(std::string_view value, std::string_view label, std::size_t maxBytes);

// A password for psqlODBC's Pwd: as typed, or between braces with "}" doubled when it
// holds ";", "+" or "%" or starts with "{".
std::string OdbcPassword(std::string_view password);

// A data source name for DSN. The driver manager finds the data source by its reading
// and the driver looks up its settings by its own, so the name goes in as typed, never
// between braces (sqliteodbc would find no settings under "{name}" and open a temporary
// database). Refused like a plain value, and also with a blank at either end (odbc.ini
// trims section names, so no data source is called that) or over SQL_MAX_DSN_LENGTH.
std::string OdbcDataSourceName(std::string_view name);

// The value between `open` and `close`, every `close` inside it doubled: braces the
// ODBC way, or the quotes of an OLE DB value.
std::string Enclosed(std::string_view value, char open, char close);

// A value of some other key, for a driver whose reading is not known here: as written,
// or, when it holds ";" or starts with "{", between braces the ODBC way.
std::string OdbcOtherValue(std::string_view value, std::string_view label);

}  // namespace adodb
