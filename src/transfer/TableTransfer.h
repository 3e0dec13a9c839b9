#pragma once

#include "engine/connections/ConnectionValues.h"
#include "sql/model/Side.h"

namespace korvanta {

class Dialogs;
class ProgressBar;
class TableList;
class WindowPointer;

// The parts of the table window that a send reads and changes.
struct TransferWindow {
    TableList& list1;  // SQL Anywhere tables
    TableList& list2;  // PostgreSQL tables
    ProgressBar& progress;
    WindowPointer& pointer;
};

// The click handler of the send button towards `target`, under its own error trap: the
// selected entries of the other list go to the engine's send, which runs on a thread of
// its own while the window goes on repainting; its questions and reports come up on the
// window, in the order of the tables and rows, and the lists and the progress bar follow
// it.
void SendSelectedTables(Side target, const TransferWindow& window, const ConnectionValues& values,
                        const TransferSettings& settings, Dialogs& dialogs);

}  // namespace korvanta
