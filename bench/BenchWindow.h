#pragma once

#include <QString>
#include <QWidget>

#include "app/EventPump.h"
#include "app/ProgressBar.h"
#include "app/WindowPointer.h"
#include "catalog/TableList.h"
#include "engine/ConnectionValues.h"
#include "transfer/TableTransfer.h"

// The parts of the table window that a transfer uses, never shown.
struct BenchWindow {
    BenchWindow();
    // Selects one table in the source list of the direction and sends it.
    void Send(korvanta::Side direction, const QString& table,
              const korvanta::ConnectionValues& values, korvanta::Dialogs& dialogs);

    QWidget parent;
    korvanta::TableList* list1;
    korvanta::TableList* list2;
    korvanta::ProgressBar* progress;
    korvanta::WindowPointer* pointer;
    korvanta::EventPump pump;
    bool oneStatementPerRow = false;  // the copy of one INSERT per row, for comparison
};

// The connection values of the databases that scripts/bench started.
korvanta::ConnectionValues BenchConnectionValues();
