#pragma once

#include "connect/ConnectionValues.h"
#include "transfer/Direction.h"

namespace korvanta {

class Dialogs;
class EventPump;
class ProgressBar;
class TableList;
class WindowPointer;

// The parts of the table window that a transfer run reads and changes.
struct TransferWindow {
    TableList& list1;  // SQL Anywhere tables
    TableList& list2;  // PostgreSQL tables
    ProgressBar& progress;
    WindowPointer& pointer;
};

// Sends the selected tables of the source list to the other database: the click
// handler of the send button of that direction, under its own error trap. The rows of a
// table go in runs, read and written on threads of their own while the window goes on
// answering; with settings.oneStatementPerRow every row is an INSERT of its own.
void SendTables(Direction direction, const TransferWindow& window, const ConnectionValues& values,
                const TransferSettings& settings, Dialogs& dialogs, EventPump& pump);

}  // namespace korvanta
