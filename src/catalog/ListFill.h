#pragma once

namespace korvanta {

class EventPump;
class TableList;
struct ConnectionValues;

// Fill a table list with the tables of one side (engine/TableListing.h says which). The
// list is emptied only once the database has answered, so a failure to connect or to
// query leaves it as it was. Errors go to the caller.
void ListPostgreSQLTables(TableList& list, const ConnectionValues& values, EventPump& pump);
void ListSybaseTables(TableList& list, const ConnectionValues& values, EventPump& pump);

}  // namespace korvanta
