#pragma once

#include <QString>
#include <QWidget>

#include "app/EventPump.h"
#include "app/ProgressBar.h"
#include "app/TableList.h"
#include "app/WindowPointer.h"
#include "engine/connections/ConnectionValues.h"
#include "sql/model/Side.h"

#include <string>

namespace korvanta {
class Dialogs;
}

// The two lists of the table window, never shown: what the listing part fills.
struct BenchWindow {
    BenchWindow();

    QWidget parent;
    korvanta::TableList* list1;
    korvanta::TableList* list2;
    korvanta::ProgressBar* progress;
    korvanta::WindowPointer* pointer;
    korvanta::EventPump pump;
};

// Sends one table through the engine, as every front end does, with no window: each
// report goes to the dialogs as the window would show it.
void BenchSend(korvanta::Side target, const std::string& table,
               const korvanta::ConnectionValues& values, bool oneStatementPerRow,
               korvanta::Dialogs& dialogs, bool exactSchema = false);
// Merges the source's table into the target's table of that name by its primary key; with
// `since`, only the rows at or after the target's largest value of that column.
void BenchMerge(korvanta::Side target, const std::string& table,
                const korvanta::ConnectionValues& values, const std::string& since,
                korvanta::Dialogs& dialogs);

// The connection values of the databases that scripts/bench started.
korvanta::ConnectionValues BenchConnectionValues();
