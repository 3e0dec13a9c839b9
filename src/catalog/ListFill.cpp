#include "catalog/ListFill.h"

#include <QString>

#include "app/EventPump.h"
#include "app/OffThread.h"
#include "app/TableList.h"
#include "engine/tables/TableListing.h"

namespace korvanta {

namespace {

void FillList(TableList& list, Side side, const ConnectionValues& values, EventPump& pump) {
    std::vector<std::string> names;
    RunOffWindowThread([&] { names = SortedTableNames(side, values); });
    list.Clear();
    for (const std::string& name : names) {
        pump.LetThrough();
        list.Add(QString::fromStdString(name));
    }
    // Clicks let through during the fill do not survive it.
    list.ResetSelection();
}

}  // namespace

void ListPostgreSQLTables(TableList& list, const ConnectionValues& values, EventPump& pump) {
    FillList(list, Side::PostgreSQL, values, pump);
}

void ListSybaseTables(TableList& list, const ConnectionValues& values, EventPump& pump) {
    FillList(list, Side::SqlAnywhere, values, pump);
}

}  // namespace korvanta
