#pragma once

#include <QString>

#include "engine/connections/ConnectionValues.h"
#include "sql/model/Side.h"

namespace korvanta {

class Dialogs;
class TableList;
class WindowPointer;

// One side of the table window as delete and rename see it: the database and its list,
// the window's pointer, and the handler named in error reports.
struct TableSide {
    Side database;
    TableList& list;
    WindowPointer& pointer;
    QString handler;  // e.g. "PushButton1_Click"
};

// "Delete Table/s": drops every selected table, from the last entry to the first, and
// removes each entry whose DROP succeeded. With no current entry it only says "Please
// select a table" (after opening the connection). Failures are reported and skipped.
void DeleteSelectedTables(const TableSide& side, const ConnectionValues& values, Dialogs& dialogs);

// "Rename Table": asks for the new name of the one selected table and renames it; on
// success the old entry leaves the list, the new name takes its sorted place and entry
// 0 becomes current. Cancel (or an empty answer) changes nothing.
void RenameSelectedTable(const TableSide& side, const ConnectionValues& values, Dialogs& dialogs);

}  // namespace korvanta
