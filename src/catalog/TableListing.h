#pragma once

namespace korvanta {

class EventPump;
class TableList;
struct ConnectionValues;

// Fills the list with the tables that their bare names reach on the connection's search
// path (ordinary and partitioned tables visible there, each name once), leaving out the
// system catalogue and the information schema. The list is emptied only once the query has
// answered, so a failure to connect or to query leaves it as it was. Errors go to the caller.
void ListPostgreSQLTables(TableList& list, const ConnectionValues& values, EventPump& pump);

// Fills the list with the base tables of the SQL Anywhere data source whose names do
// not contain "SYS" in any letter case; views and system tables are left out. The list
// is emptied only once the schema call has answered. Errors go to the caller.
void ListSybaseTables(TableList& list, const ConnectionValues& values, EventPump& pump);

}  // namespace korvanta
